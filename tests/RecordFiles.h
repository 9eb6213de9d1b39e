#pragma once

// Small helpers the contact-file tests share: whole files as byte strings.
#include "Persona.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string readBytes(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline contacts::Persona persona(const std::string &apellido, const std::string &nombre)
{
    return {apellido, nombre, "Calle Mayor 1", "555", "x@y.es"};
}

// The 105 bytes of a contact with this surname and given name (UTF-8).
inline std::string recordBytes(const std::string &apellido, const std::string &nombre)
{
    const contacts::Record record = contacts::encode(persona(apellido, nombre));
    return std::string(record.data(), record.size());
}

inline contacts::Record asRecord(const std::string &bytes)
{
    contacts::Record record;
    bytes.copy(record.data(), record.size());
    return record;
}
