#pragma once

#include "contacts/Persona.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <filesystem>
#include <initializer_list>
#include <string>

// A temporary program folder with a "personas.dat" made from given records.
class ContactFolder {
public:
    ContactFolder() = default;

    std::filesystem::path path() const { return m_dir.path().toStdString(); }
    std::filesystem::path dataPath() const { return path() / "personas.dat"; }

    QByteArray data() const;
    void setData(const QByteArray &bytes) const;
    bool hasData() const;

    // Five fields per contact: Apellido, Nombre, Direccion, Telefono, Email (UTF-8).
    static QByteArray records(std::initializer_list<contacts::Persona> personas);
    static QByteArray record(const contacts::Persona &persona);

private:
    QTemporaryDir m_dir;
};
