#pragma once

// Small helpers the contact-file tests share: whole files as byte strings.
#include "contacts/Persona.h"

#include <filesystem>
#include <fstream>
#include <initializer_list>
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

// The 105 bytes of each contact, one after another: a data file's contents.
inline std::string recordsOf(std::initializer_list<contacts::Persona> personas)
{
    std::string bytes;
    for (const contacts::Persona &persona : personas) {
        const contacts::Record record = contacts::encode(persona);
        bytes.append(record.data(), record.size());
    }
    return bytes;
}

inline contacts::Record asRecord(const std::string &bytes)
{
    contacts::Record record;
    bytes.copy(record.data(), record.size());
    return record;
}

// The records of `file` as the core reads them: counted, a partial last record
// completed with spaces, an uncounted tail dropped.
inline std::string countedRecords(std::string file)
{
    const std::uint64_t length = file.size();
    const std::uint64_t count = length / contacts::kRecordSize + (length % contacts::kRecordSize >= 53 ? 1 : 0);
    file.resize(count * contacts::kRecordSize, ' ');
    return file;
}

// `file`'s records without record `index` (0-based).
inline std::string dropRecord(const std::string &file, std::size_t index)
{
    std::string all = countedRecords(file);
    return all.erase(index * contacts::kRecordSize, contacts::kRecordSize);
}
