// libFuzzer target: any data file, any command, any text typed into the fields.
//
// Input: [command][index][n][n bytes of typed text, fields split by 0x01][file bytes]
// The command runs on an in-memory folder; the result is checked against what it
// must be: the sort a permutation of the counted records in given-name order (and
// the literal swap sort's order on small files), an add one encoded record
// more, a delete or modify of exactly the shown record, and the codec lossless.
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "tests/support/SwapSortOracle.h"
#include "fuzz/MemoryFileSystem.h"
#include "tests/support/RecordFiles.h"
#include "contacts/Sort.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace contacts;

namespace {

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

std::vector<std::string> recordsOf(const std::string &file)
{
    std::vector<std::string> records;
    for (std::size_t at = 0; at + kRecordSize <= file.size(); at += kRecordSize)
        records.push_back(file.substr(at, kRecordSize));
    return records;
}

Persona typed(std::string_view text)
{
    Persona persona;
    for (std::size_t f = 0; f < 5; ++f) {
        const std::size_t end = std::min(text.find('\x01'), text.size());
        field(persona, f) = std::string(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return persona;
}

std::string bytesOf(const Record &record)
{
    return std::string(record.data(), record.size());
}

void checkSorted(const std::string &old, const std::string &file, const std::vector<std::string> &surnames)
{
    // A file already in order is left as it was, an uncounted tail included.
    const std::string now = countedRecords(file);
    std::vector<std::string> before = recordsOf(countedRecords(old));
    std::vector<std::string> after = recordsOf(now);
    check(surnames.size() == after.size(), "one surname per record");
    for (std::size_t i = 0; i < after.size(); ++i) {
        check(surnames[i] == decodeCp1252(trimSpaces(std::string_view(after[i]).substr(0, kFieldWidths[0]))),
              "surname of each record");
        if (i == 0)
            continue;
        const char *a = after[i - 1].data() + kNombreOffset;
        const char *b = after[i].data() + kNombreOffset;
        check(!nombreLess(b, a), "given-name order");
        // The ranked comparison is the decoded texts' code point order, which is
        // the byte order of their UTF-8.
        check(nombreLess(a, b) == (decodeCp1252({a, kNombreWidth}) < decodeCp1252({b, kNombreWidth})),
              "nombreLess agrees with the decoded texts");
    }
    if (before.size() <= 64)
        check(now == countedRecords(swapSortLiterally(old)), "the swap sort's order");
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    check(before == after, "a permutation of the records");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    const int command = data[0] % 4;
    const std::size_t textLength = std::min<std::size_t>(data[2], size - 3);
    const Persona persona = typed(std::string_view(reinterpret_cast<const char *>(data + 3), textLength));
    const std::string old(reinterpret_cast<const char *>(data + 3 + textLength), size - 3 - textLength);
    const std::string counted = countedRecords(old);
    const std::int64_t count = recordCount(old.size());
    const std::int64_t index = count == 0 ? data[1] % 2 : data[1] % (count + 1);

    MemoryFileSystem fs;
    const std::string dat = "/c/personas.dat";
    fs.files[dat] = std::make_shared<std::string>(old);
    ContactFile file(fs, "/c");

    // The codec loses nothing: every record, and every typed contact once stored.
    for (const std::string &record : recordsOf(counted))
        check(bytesOf(encode(decode(asRecord(record)))) == record, "records decode and encode back");
    const Record stored = encode(persona);
    check(encode(decode(stored)) == stored, "a stored contact reads back as stored");

    const std::optional<Record> shown = file.read(index);
    check(shown.has_value() == (index < count), "a record reads exactly when counted");
    if (shown)
        check(bytesOf(*shown) == counted.substr(std::size_t(index) * kRecordSize, kRecordSize), "read");

    switch (command) {
    case 0: {
        const std::vector<std::string> surnames = file.sortAndList();
        checkSorted(old, *fs.files.at(dat), surnames);
        break;
    }
    case 1:
        file.append(persona);
        check(*fs.files.at(dat) == counted + bytesOf(stored), "add");
        break;
    case 2:
    case 3: {
        const Record expected = shown.value_or(Record{});
        const bool done = command == 2 ? file.remove(index, expected) : file.modify(index, expected, persona);
        check(done == shown.has_value(), "changes exactly the record shown");
        if (done)
            check(*fs.files.at(dat) == dropRecord(old, std::size_t(index)) + (command == 3 ? bytesOf(stored) : ""),
                  "delete or modify");
        else
            check(*fs.files.at(dat) == old, "no change when the record is not there");
        break;
    }
    }
    check(fs.allClosed(), "every handle closed and the lock released");
    check(!fs.files.count("/c/personas.tmp"), "no temporary file left");
    return 0;
}
