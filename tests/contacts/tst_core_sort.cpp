// The fast sort against the literal swap sort, and the orders users see.
#include "tests/support/CoreTest.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/RecordFiles.h"
#include "contacts/Sort.h"

using namespace contacts;
using coretest::eachRow;

namespace {

struct OracleRow {
    std::string name;
    std::vector<std::string> keys;  // empty: random raw 20-byte keys
    int maxRecords;
    int files;
};

struct OrderRow {
    std::string name;
    std::vector<std::string> given;
    std::vector<std::string> sorted;
};

} // namespace

// Every record unique (a serial in the surname), so the comparison also catches
// equal keys that end in the wrong relative order.
TEST_CASE("matches the swap sort")
{
    const std::vector<OracleRow> rows = {
        {"one key", {"Pepe"}, 10, 300},
        {"two keys", {"Ana", "Luis"}, 12, 3000},
        {"case, accents, euro",
         {"Ana", "ana", "Ána", "€milio", "ÿago", "Ana María", "Zoe", " Ana", ""},
         12, 3000},
        {"raw bytes", {}, 12, 3000},
        {"long files", {"Luis", "Ana", "Bea", "ana", "Álex", "Zoe"}, 400, 40},
    };
    eachRow(rows, [](const OracleRow &row) {
        RandomSortFiles random(row.keys, row.maxRecords);
        for (int f = 0; f < row.files; ++f) {
            const std::string file = random.next();
            INFO("file ", f, " of ", file.size() / kRecordSize, " records");
            REQUIRE(sortsLikeSwapSort(file));
        }
    });
}

TEST_CASE("named orders")
{
    const std::vector<OrderRow> rows = {
        {"capitals first", {"Luis", "ana", "Ana"}, {"Ana", "Luis", "ana"}},
        {"padding space first", {"Ana María", "Ana"}, {"Ana", "Ana María"}},
        {"accent after letters", {"álvaro", "zoe"}, {"zoe", "álvaro"}},
        {"euro after y diaeresis", {"€", "ÿ"}, {"ÿ", "€"}},
        {"empty first", {"B", "", "A"}, {"", "A", "B"}},
    };
    eachRow(rows, [](const OrderRow &row) {
        std::string file;
        for (const std::string &name : row.given)
            file += recordBytes("X", name);
        std::vector<std::string> actual;
        for (std::uint32_t index : swapSortOrder(file.data(), row.given.size())) {
            const std::string nombre = decodeCp1252(file.substr(index * kRecordSize + kNombreOffset, kNombreWidth));
            actual.emplace_back(trimSpaces(nombre));
        }
        CHECK_EQ(actual, row.sorted);
    });
}
