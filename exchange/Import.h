#pragma once

// Reading a whole vCard or CSV file into records, with the report of what could
// not be kept whole.
#include "exchange/Formats.h"

#include "contacts/Persona.h"

#include <istream>
#include <string>
#include <vector>

namespace exchange {

enum class Format { VCard, Csv };

struct ImportResult {
    Format format = Format::VCard;
    std::vector<contacts::Record> records;
    // One line for each contact not stored whole: which one, which field, what was stored.
    std::vector<std::string> report;
    Skipped skipped;
};

// Reads `in` (a vCard or a CSV file, told apart by content; UTF-8 with or without
// its mark, or else Windows-1252). Throws ImportError: an empty file, one that is
// neither format, a vCard left open, a quote left open, a read failure (line 0).
ImportResult readContacts(std::istream &in);

// The record for `contact`, cut to the widths; adds a line to `report` when a field
// is not stored whole.
contacts::Record store(const Contact &contact, std::vector<std::string> &report);

} // namespace exchange
