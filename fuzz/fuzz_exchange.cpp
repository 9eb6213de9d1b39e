// libFuzzer target: any file given to "vorteda-contactos importar" (vCard, CSV under
// any header row, UTF-16, continued and folded lines).
//
// The vCard and CSV readers either refuse the input with an ImportError or give
// records; those records, written out again as vCard and as CSV and read back, must
// be the same records (what an export and an import of them does). The same bytes
// taken as a personas.dat make a CSV backup that must come back byte for byte.
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "contacts/Persona.h"
#include "exchange/Formats.h"
#include "exchange/Import.h"
#include "fuzz/MemoryFileSystem.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace contacts;

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

std::vector<Record> reread(const std::vector<Record> &records, bool csv)
{
    std::string text;
    if (csv)
        exchange::writeCsvHeader(text);
    for (const Record &record : records) {
        Persona fields;
        for (std::size_t f = 0; f < 5; ++f) {
            std::string_view bytes(record.data() + kFieldOffsets[f], kFieldWidths[f]);
            field(fields, f) = decodeCp1252(bytes.substr(0, bytes.find_last_not_of(' ') + 1));
        }
        if (csv)
            exchange::writeCsvRow(fields, text);
        else
            exchange::writeVCard(fields, text);
    }
    if (records.empty())
        return {};
    std::istringstream in(text);
    const exchange::ImportResult result = exchange::readContacts(in);
    check(result.report.empty(), "stored records read back whole");
    check(result.skipped.empty(), "nothing of an export is skipped");
    return result.records;
}

// The same bytes as a personas.dat: exported to CSV and imported into an empty folder,
// they must come back byte for byte (a control byte as a space; a record with nothing
// in it is no contact), whatever separators, quotes and formulas the fields hold.
void checkCsvBackup(const std::uint8_t *data, std::size_t size)
{
    MemoryFileSystem files;
    files.files["/de/personas.dat"] = std::make_shared<std::string>(reinterpret_cast<const char *>(data), size);
    ContactFile from(files, "/de");
    std::vector<std::string> expected;
    from.forEachRecord([&](const char *record) {
        std::string bytes(record, kRecordSize);
        for (char &c : bytes)
            if (static_cast<unsigned char>(c) < 0x20)
                c = ' ';
        if (bytes.find_first_not_of(' ') != std::string::npos)
            expected.push_back(bytes);
    });
    std::ostringstream exported;
    exchange::exportContacts(from, exchange::Format::Csv, exported);
    ContactFile to(files, "/a");
    std::vector<std::string> got;
    try {
        std::istringstream in(exported.str());
        exchange::commitImport(exchange::previewImport(in, to, true), to, true);
        const auto it = files.files.find("/a/personas.dat");
        check(it != files.files.end(), "an import with contacts writes the data file");
        const std::string &back = *it->second;
        check(back.size() % kRecordSize == 0, "whole records come back");
        for (std::size_t at = 0; at < back.size(); at += kRecordSize) {
            std::string bytes = back.substr(at, kRecordSize);
            if (bytes.find_first_not_of(' ') != std::string::npos)
                got.push_back(bytes);
        }
    } catch (const exchange::ImportError &) {
        check(expected.empty(), "the CSV of a data file with contacts is read");
    }
    // The import leaves the order a list load gives; the records are what matter here.
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    check(got == expected, "the CSV backup gives the data file back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkCsvBackup(data, size);
    std::istringstream in(std::string(reinterpret_cast<const char *>(data), size));
    exchange::ImportResult result;
    try {
        result = exchange::readContacts(in);
    } catch (const exchange::ImportError &error) {
        check(error.line() >= 1, "an error names a line");
        return 0;
    }
    check(result.report.size() <= result.records.size(), "at most one report line a contact");
    check(!result.records.empty(), "a file with no contact is refused");
    for (const Record &record : result.records)
        for (char c : record)
            check(static_cast<unsigned char>(c) >= 0x20, "no control character is stored");
    for (const exchange::Problem &problem : result.problems)
        check(problem.line >= 1 && !problem.omitted.empty(), "a part left out is named with its line");
    check(reread(result.records, false) == result.records, "vCard gives the records back");
    check(reread(result.records, true) == result.records, "CSV gives the records back");
    return 0;
}
