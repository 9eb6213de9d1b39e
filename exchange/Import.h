#pragma once

// Reading a whole vCard or CSV file into records, with the report of what could
// not be kept whole; the import in two steps (a preview that writes nothing, then
// one locked rewrite), and the export.
#include "exchange/Formats.h"

#include "contacts/ContactFile.h"
#include "contacts/Persona.h"

#include <filesystem>
#include <istream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace exchange {

struct ImportResult {
    Format format = Format::VCard;
    std::vector<contacts::Record> records;
    // One line for each contact not stored whole or given a surname the file did not
    // give: which one, which field, what was stored.
    std::vector<std::string> report;
    std::uint64_t notWhole = 0;     // contacts with a field cut or a '?'
    std::uint64_t surnameTaken = 0; // contacts whose surname came from another field
    // The encoding assumed where the file was not UTF-8 ("Windows-1252", "Mac Roman",
    // "UTF-16"); empty when it all was.
    std::string encoding;
    // For the records that hold a '?' for a character of the file: what the file said,
    // so that two different people stored alike are not taken for one.
    struct Unsure {
        std::string said;
        std::string who; // "línea 4, «李 王»"
    };
    std::map<std::size_t, Unsure> unsure;
    // The bytes of lines the reading went through, lines read again included: it
    // stays within a small multiple of the file, whatever the file holds.
    std::uint64_t handled = 0;
    // The cards, rows and lines that could not be read and were left out.
    Problems problems;
    Skipped skipped;
};

// Reads `in` (a vCard, LDIF or CSV file, recognised by content; UTF-8 with or without
// its mark, else Windows-1252 (Mac Roman in a file whose lines end in CR alone),
// decided for each card, entry and row; or UTF-16 with its mark). Every record read
// is kept, duplicates too; a contact with all five fields empty is not. Throws
// ImportError when no contact can be read at all: an empty file, one of no format
// read (the message says what it looks like), a CSV whose columns name no one, a file
// whose every card is unreadable, a read failure (line 0).
ImportResult readContacts(std::istream &in, const Progress &progress = {});

// The record for `contact`: no control character, a telephone too long first without
// its spaces, dots, dashes and brackets, then cut to the widths; adds a line to
// `report` when a field is not stored whole or the surname came from elsewhere.
struct Stored {
    bool notWhole = false;
    std::string said; // the file's texts as far as stored, when a '?' stands for one
};
contacts::Record store(const Contact &contact, std::vector<std::string> &report, Stored *stored = nullptr);

// What an import would do, before anything is written.
struct Preview {
    ImportResult read;           // read.records: the contacts to add, in the file's order
    std::uint64_t duplicates = 0; // left out: already in personas.dat, or earlier in the file
};

// Reads `in` and sets aside the contacts whose stored record is already in the data
// file or earlier in `in` (unless `keepDuplicates`); within `in`, a record holding a
// '?' for a character is the same as another only when the file said the same, and
// one set aside so is named in the report. Writes nothing. Throws
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
