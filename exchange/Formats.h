#pragma once

// The two exchange formats: vCard (written as 3.0, read as 2.1, 3.0 and 4.0) and
// CSV (RFC 4180, read with ',', ';' or tab, under the header rows of the common
// address books and spreadsheets). Bytes come in; texts go out as UTF-8.
#include "contacts/Persona.h"

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A card or row that could not be read and was left out, or a line passed over.
struct Problem {
    std::uint64_t line = 0;
    std::string text;
    std::string omitted; // what was left out, when a contact was read anyway
};
using Problems = std::vector<Problem>;

using ContactSink = std::function<void(Contact &&)>;
// Bytes of the file read so far.
using Progress = std::function<void(std::uint64_t bytes)>;

// The physical lines of a file as bytes, numbered from 1; lines handed back are
// read again, in order, before the rest.
class LineReader {
public:
    explicit LineReader(std::istream &in, Progress progress = {});
    // The next line with its "\n" (when it has one) kept; false at the end.
    bool next(std::string &line);
    std::uint64_t number() const { return m_number; }
    // Reads `lines` (with their numbers) again before the stream's next line.
    void giveBack(std::vector<std::pair<std::uint64_t, std::string>> lines);

private:
    std::istream &m_in;
    Progress m_progress;
    std::uint64_t m_number = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_reported = 0;
    std::vector<std::pair<std::uint64_t, std::string>> m_given; // in reverse order
};

// Without the line's end: "\n", "\r\n", "\r\r\n".
std::string_view withoutEnd(std::string_view line);

// One contact as a vCard 3.0: CRLF lines folded at 75 octets, appended to `out`.
// `fields` are the stored texts without their padding.
void writeVCard(const contacts::Persona &fields, std::string &out);
// Every vCard of `lines`; each ends in `sink`. A card that cannot be read is left
// out and named in `problems`.
void readVCards(LineReader &lines, const ContactSink &sink, Skipped &skipped, Problems &problems);

// The CSV header line, with its byte-order mark.
void writeCsvHeader(std::string &out);
void writeCsvRow(const contacts::Persona &fields, std::string &out);
// Whether a spreadsheet would run `cell` (or a piece of a cell between ',' and ';') as
// a formula: after any spaces and apostrophes it begins with '=', '@', a tab or a CR,
// or with '+' or '-' and is not a telephone number of digits and spaces.
bool spreadsheetWouldRun(std::string_view cell);
// `cell` with an apostrophe before the cell and before the text after each ',' or ';'
// that a spreadsheet would run, wherever it splits; and without them again, exactly.
std::string withFormulaMarks(std::string_view cell);
std::string withoutFormulaMarks(std::string_view cell);

// How a CSV file's columns map to the contact.
struct CsvHeader {
    char separator = ',';
    std::uint64_t line = 0; // of the header row
    std::vector<std::string> names;
    struct Column {
        int kind = 0;  // what the column holds (the reader's own numbering)
        int sort = 0;  // of telephone or address: mobile, home, work, other
        int rank = 0;  // an address line's order, or how surely it names a street
        int group = 0; // numbered groups of columns ("Phone 1 - Label", "Phone 1 - Value")
    };
    std::vector<Column> columns;
    int known = 0;            // columns that give a contact field
};
// Looks for the header row among the first rows of `lines`, with each separator.
// False when no row names a contact field; `found` then holds the first row's cells.
bool findCsvHeader(std::istream &in, CsvHeader &header, std::vector<std::string> &found);
// The rows of a CSV file after its header; each ends in `sink`.
void readCsv(LineReader &lines, const CsvHeader &header, const ContactSink &sink, Skipped &skipped,
             Problems &problems);
// The column names the reader knows, for the message that refuses a file.
std::string knownCsvColumnNames();

} // namespace exchange
