#pragma once
// What the tests of vorteda-contactos and the import's readers share: the command run
// in this process, the stored records as text, and files as other programs write them.
#include <doctest/doctest.h>

#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "exchange/Command.h"
#include "exchange/Import.h"
#include "exchange/Report.h"
#include "exchange/Text.h"
#include "platform/SystemFileSystem.h"
#include "tests/support/VersionTexts.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/TempFolder.h"

#include <optional>
#include <sstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace exchangetest {

using namespace contacts;
using testfiles::TempFolder;

struct Run {
    int status;
    std::string out;
    std::string err;
};

inline Run command(std::vector<std::string> args, FileSystem &files = platform::systemFileSystem())
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = exchange::run(args, out, err, files, [] {
        FAIL("the default folder was asked for");
        return std::filesystem::path();
    });
    return {status, out.str(), err.str()};
}

// The stored records as "Apellido|Nombre|Dirección|Teléfono|E-mail", trimmed, in UTF-8.
inline std::vector<std::string> shown(const std::vector<Record> &records)
{
    std::vector<std::string> rows;
    for (const Record &record : records) {
        std::string row;
        for (std::size_t f = 0; f < 5; ++f) {
            const std::string_view text(record.data() + kFieldOffsets[f], kFieldWidths[f]);
            if (f > 0)
                row += '|';
            row += decodeCp1252(trimSpaces(text));
        }
        rows.push_back(row);
    }
    return rows;
}

inline std::string joined(const std::vector<std::string> &rows)
{
    std::string text;
    for (const std::string &row : rows)
        text += row + "\n";
    return text;
}

inline std::string skippedText(const exchange::Skipped &skipped)
{
    std::string text;
    for (const auto &[name, count] : skipped)
        text += name + "=" + std::to_string(count) + " ";
    return text;
}

// A path as the command takes it, UTF-8, on Windows too (where string() would give
// the ANSI code page).
inline std::string utf8(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline exchange::ImportResult readText(const std::string &text)
{
    std::istringstream in(text);
    return exchange::readContacts(in);
}

// A file as another program writes it, and what reading it must give.
struct ReadCase {
    const char *name;
    std::string text;
    std::vector<std::string> contacts;
    std::string skipped;
};

// Reads the case's text and checks the format, the stored records and the columns left
// out; the result goes back for the table's own further checks.
inline exchange::ImportResult checkRead(const ReadCase &row, exchange::Format format)
{
    exchange::ImportResult result = readText(row.text);
    CHECK(result.format == format);
    CHECK(joined(shown(result.records)) == joined(row.contacts));
    CHECK(skippedText(result.skipped) == row.skipped);
    return result;
}

// A spreadsheet's "Unicode text": UTF-16 little-endian with its mark.
inline std::string utf16le(const std::string &utf8)
{
    std::string out = "\xFF\xFE";
    std::size_t pos = 0;
    char32_t ch = 0;
    while (pos < utf8.size()) {
        contacts::nextUtf8(utf8, pos, ch);
        out += char(ch & 0xFF);
        out += char(ch >> 8);
    }
    return out;
}

// The data file's contacts as shown(), in sorted order.
inline std::vector<std::string> storedRows(const std::filesystem::path &folder)
{
    const std::string bytes = readBytes(folder / kDataFileName);
    std::vector<Record> records;
    for (std::size_t at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize)
        records.push_back(asRecord(bytes.substr(at, kRecordSize)));
    std::vector<std::string> rows = shown(records);
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace exchangetest
