#pragma once

// The two exchange formats: vCard (written as 3.0, read as 2.1, 3.0 and 4.0) and
// CSV (RFC 4180, read with ',', ';' or tab, under the header rows of the common
// address books and spreadsheets). Bytes come in; texts go out as UTF-8.
#include "contacts/Persona.h"
#include "wording/ExchangeWords.h"
#include "wording/ImportWords.h"

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

// The formats read (vCard, LDIF, CSV) and written (vCard, CSV).
enum class Format { VCard, Csv, Ldif };

// How reports name a format: as read, and as written (an export writes vCard 3.0).
inline const char *readName(Format format)
{
    return format == Format::Csv ? "CSV" : format == Format::Ldif ? "LDIF" : "vCard";
}
inline const char *writtenName(Format format)
{
    return format == Format::Csv ? "CSV" : "vCard 3.0";
}

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
    // Where the surname came from when the file gave none (a SurnameFrom of the
    // wording), -1 when it gave one.
    int surnameFrom = -1;
    // A record of this program's own export: stored as it is, even empty.
    bool own = false;
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

// What a card, a row or an entry said of one person, before one rule, the same for
// every format, makes it a contact.
enum PhoneSort { Mobile, Home, Work, OtherPhone, FaxLike };
struct Said {
    std::uint64_t line = 0;
    std::string surname, given, full, company, address;
    std::string companySource; // counted when the company is not the surname
    struct Value {
        std::string text;
        std::string source; // the property or column, to count it when it is not chosen
        int pref = 1 << 30; // lower is preferred
        int sort = OtherPhone;
    };
    std::vector<Value> phones, emails;
    bool own = false;
};
// The rule: the telephone marked preferred, else a mobile, else home (or a plain
// voice number), else work, else any other, a fax, pager or modem only when there is
// nothing else; the e-mail marked preferred, else the first internet address (an
// Exchange X.500 "/o=..." only when there is no other). Without a surname: the full
// name split (first word the given name; one word, or a company's name, whole), else
// the full name, the given name, the company, the e-mail, the telephone or the
// address as the surname. What is not chosen is counted in `skipped` by its source.
Contact chosen(Said &&said, Skipped &skipped);
// Whether `address` can be written to over the Internet (not X.500, not X.400).
bool isInternetAddress(std::string_view address);

using ContactSink = std::function<void(Contact &&)>;
// Bytes of the file read so far.
using Progress = std::function<void(std::uint64_t bytes)>;

// The physical lines of a file as bytes, numbered from 1; lines handed back are
// read again, in order, before the rest. A line ends at LF, CR LF, CR CR LF, or, in a
// file whose first line ends so (old Macs), a CR alone; each line comes with one "\n"
// for its end, whichever it was. No
// line is kept beyond kMaxLine bytes: the rest of it is read and dropped, and cut()
// says so, so that a file without line breaks costs no more memory than a line.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 64 * 1024;

    explicit LineReader(std::istream &in, Progress progress = {});
    // The next line with its "\n" (when it has one) kept; false at the end.
    bool next(std::string &line);
    std::uint64_t number() const { return m_number; }
    // Whether the line last handed out lost its end beyond kMaxLine.
    bool cut() const { return m_cut; }
    // Bytes of the file read so far.
    std::uint64_t bytes() const { return m_bytes; }
    // Bytes of the lines handed out so far, a line handed back counted again: the
    // reading's work, which stays within a small multiple of the file.
    std::uint64_t handed() const { return m_handed; }
    // Reads `lines` (with their numbers) again before the stream's next line.
    void giveBack(std::vector<std::pair<std::uint64_t, std::string>> lines);
    // Whether lines handed back are still to come.
    bool givingBack() const { return !m_given.empty(); }

    // `bytes` (a card, a row, an entry) as UTF-8: valid UTF-8 as it is, anything else
    // in the file's other encoding: Mac Roman in a file whose lines end in CR alone
    // (old Mac programs wrote both), Windows-1252 otherwise.
    std::string decode(std::string_view bytes);
    // `bytes` known not to be UTF-8, in the file's other encoding.
    std::string fallback(std::string_view bytes);
    // The encoding decode() assumed at least once, or nullptr when all was UTF-8.
    const char *assumed() const { return m_assumed; }

private:
    bool fill();

    std::istream &m_in;
    Progress m_progress;
    std::vector<char> m_buffer;
    std::size_t m_at = 0;
    std::size_t m_end = 0;
    std::size_t m_lfAt = std::size_t(-1); // the next LF at or after m_at, or m_end; -1 unknown
    std::size_t m_crAt = std::size_t(-1);
    bool m_eof = false;
    std::uint64_t m_number = 0;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_reported = 0;
    std::uint64_t m_handed = 0;
    std::uint64_t m_crEnds = 0; // lines ended by a CR alone
    std::uint64_t m_lfEnds = 0;
    // Decided by the file's first line end: a CR alone ends a line only in a file
    // whose lines end so; elsewhere it is part of its line.
    enum class Ends { Unknown, Lf, Cr } m_mode = Ends::Unknown;
    std::uint64_t m_blankOwed = 0; // empty lines between CRs still to hand out
    bool m_cut = false;
    const char *m_assumed = nullptr;
    std::vector<std::pair<std::uint64_t, std::string>> m_given; // in reverse order
};

// Mac Roman as UTF-8.
std::string decodeMacRoman(std::string_view bytes);

// What a file that is no contacts file looks like, from its first bytes and its first
// line that is not blank.
wording::LooksLike looksLike(std::string_view head, std::string_view first);

// Reads the LDIF entries of `lines` (Thunderbird's, Evolution's, a directory's);
// entries that are not people are counted in `skipped`.
void readLdif(LineReader &lines, const ContactSink &sink, Skipped &skipped, Problems &problems);
// The name under which entries that are not people are counted.
using wording::kNotPeople;
// The name under which over-long values are counted.
using wording::kTooLong;

// Without the line's end: "\n", "\r\n", "\r\r\n".
std::string_view withoutEnd(std::string_view line);

// What this program's vCards carry, so that its own backup comes back as it was.
inline constexpr char kOwnProdId[] = "-//Brimacor//Vorteda//ES";

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
        bool pref = false; // a primary telephone or e-mail
    };
    std::vector<Column> columns;
    int known = 0;            // columns that give a contact field
    bool own = false;         // this program's own export
};
// Looks for the header row among the first rows of `in`: this program's own first,
// else a row, with one of the separators, that names a surname, a given name, a full
// name or a company in a column of its own, and under which the rows split into its
// columns. False when there is none; `found` then holds the cells of the row that
// came closest, and `ragged` whether a header was found whose rows did not fit.
bool findCsvHeader(std::istream &in, CsvHeader &header, std::vector<std::string> &found, bool &ragged);
// The rows of a CSV file after its header; each ends in `sink`.
void readCsv(LineReader &lines, const CsvHeader &header, const ContactSink &sink, Skipped &skipped,
             Problems &problems);

} // namespace exchange
