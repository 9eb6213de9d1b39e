#include "tests/ContactFolder.h"

#include <QFile>

QByteArray ContactFolder::data() const
{
    QFile file(QString::fromStdString(dataPath().string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void ContactFolder::setData(const QByteArray &bytes) const
{
    QFile file(QString::fromStdString(dataPath().string()));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test data file");
}

bool ContactFolder::hasData() const
{
    return QFile::exists(QString::fromStdString(dataPath().string()));
}

QByteArray ContactFolder::record(const contacts::Persona &persona)
{
    const contacts::Record bytes = contacts::encode(persona);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QByteArray ContactFolder::records(std::initializer_list<contacts::Persona> personas)
{
    QByteArray all;
    for (const contacts::Persona &persona : personas)
        all += record(persona);
    return all;
}
