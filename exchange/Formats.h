#pragma once

// The two exchange formats: vCard (written as 3.0, read as 2.1, 3.0 and 4.0) and
// CSV (RFC 4180, read with ',' or ';'). Texts are UTF-8 throughout.
#include "contacts/Persona.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace exchange {

// A fault in the file being imported, at a line of it (from 1). The command adds
// the file's name.
class ImportError : public std::runtime_error {
public:
    ImportError(std::uint64_t line, const std::string &what)
        : std::runtime_error(what)
        , m_line(line)
    {
    }
    std::uint64_t line() const { return m_line; }

private:
    std::uint64_t m_line;
};

// One contact as read, before it is stored: full texts, nothing cut yet.
struct Contact {
    std::uint64_t line = 0; // where it starts in the file
    contacts::Persona fields;
};

// What was read but has no place in a contact, by property or column name.
using Skipped = std::map<std::string, std::uint64_t>;

using ContactSink = std::function<void(Contact &&)>;

// The physical lines of a text, numbered from 1. A file that is not UTF-8 is read
// as Windows-1252 and handed on as UTF-8.
class LineReader {
public:
    LineReader(std::istream &in, bool cp1252);
    // The next line with its "\n" (when it has one) kept; false at the end.
    bool next(std::string &line);
    std::uint64_t number() const { return m_number; }

private:
    std::istream &m_in;
    bool m_cp1252;
    std::uint64_t m_number = 0;
    std::string m_raw;
};

// Without the line's "\n" or "\r\n".
std::string_view withoutEnd(std::string_view line);

// One contact as a vCard 3.0: CRLF lines folded at 75 octets, appended to `out`.
// `fields` are the stored texts without their padding.
void writeVCard(const contacts::Persona &fields, std::string &out);
// Every vCard of `lines`; each ends in `sink`. Throws ImportError.
void readVCards(LineReader &lines, const ContactSink &sink, Skipped &skipped);

// The CSV header line, with its byte-order mark.
void writeCsvHeader(std::string &out);
void writeCsvRow(const contacts::Persona &fields, std::string &out);
// The column of a contact field (0 to 4) a CSV header cell names, or -1.
int csvColumnField(std::string_view header);
// Splits a header line on `separator` (quotes honoured); the number of cells that
// name a contact field.
int knownCsvColumns(std::string_view line, char separator);
// The rows of a CSV file after its header; each ends in `sink`. Throws ImportError.
void readCsv(LineReader &lines, char separator, const ContactSink &sink, Skipped &skipped);

} // namespace exchange
