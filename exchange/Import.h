#pragma once

// Reading a whole vCard or CSV file into records, with the report of what could
// not be kept whole; the import in two steps (a preview that writes nothing, then
// one locked rewrite), and the export.
#include "exchange/Formats.h"

#include "contacts/ContactFile.h"
#include "contacts/Persona.h"

#include <filesystem>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace exchange {

enum class Format { VCard, Csv };

// How reports name a format: as read, and as written (an export writes vCard 3.0).
inline const char *readName(Format format)
{
    return format == Format::Csv ? "CSV" : "vCard";
}
inline const char *writtenName(Format format)
{
    return format == Format::Csv ? "CSV" : "vCard 3.0";
}

struct ImportResult {
    Format format = Format::VCard;
    std::vector<contacts::Record> records;
    // One line for each contact not stored whole: which one, which field, what was stored.
    std::vector<std::string> report;
    // The cards, rows and lines that could not be read and were left out.
    Problems problems;
    Skipped skipped;
};

// Reads `in` (a vCard or a CSV file, told apart by content; UTF-8 with or without
// its mark, Windows-1252, decided for each card and row, or UTF-16 with its mark).
// Every record read is kept, duplicates too. Throws ImportError when no contact can
// be read at all: an empty file, one that is neither format, a CSV whose columns name
// no contact field, a file whose every card is unreadable, a read failure (line 0).
ImportResult readContacts(std::istream &in, const Progress &progress = {});

// The record for `contact`: no control character, cut to the widths; adds a line to
// `report` when a field is not stored whole.
contacts::Record store(const Contact &contact, std::vector<std::string> &report);

// What an import would do, before anything is written.
struct Preview {
    ImportResult read;           // read.records: the contacts to add, in the file's order
    std::uint64_t duplicates = 0; // left out: already in personas.dat, or earlier in the file
};

// Reads `in` and sets aside the contacts whose stored record is already in the data
// file or earlier in `in` (unless `keepDuplicates`). Writes nothing. Throws
// ImportError (the file is refused) and contacts::FileError (personas.dat cannot be
// read).
Preview previewImport(std::istream &in, contacts::ContactFile &file, bool keepDuplicates,
                      const Progress &progress = {});

struct Committed {
    std::uint64_t added = 0;
    std::uint64_t duplicates = 0; // the preview's, and any the file has gained since
};

// The import's one locked, atomic rewrite; the duplicates are checked again against
// the data file as it then stands. Throws contacts::FileError, changing nothing.
Committed commitImport(Preview &&preview, contacts::ContactFile &file, bool keepDuplicates);

// Writes every contact of the data file, in its order, to `out`; the count.
std::uint64_t exportContacts(contacts::ContactFile &file, Format format, std::ostream &out);
// The same into the file `destination` (where it leads, when it is a link): written
// beside it and put in its place only once whole, so that a failure leaves whatever
// was there as it was. Refused (contacts::FileError, nothing written) when the
// contacts' folder does not exist, and when `destination` is the data file, its
// temporary file or its lock, under any name. Throws contacts::FileError.
std::uint64_t exportContacts(contacts::ContactFile &file, Format format, const std::filesystem::path &destination);

} // namespace exchange
