// libFuzzer target: any file given to "vorteda-contactos importar" (vCard, CSV under
// any header row, UTF-16, continued and folded lines).
//
// The vCard and CSV readers either refuse the input with an ImportError or give
// records; those records, written out again as vCard and as CSV and read back, must
// be the same records (what an export and an import of them does).
#include "contacts/Cp1252.h"
#include "contacts/Persona.h"
#include "exchange/Formats.h"
#include "exchange/Import.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
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
