// The fast sort against the literal exchange sort, and the orders users see, as
// built for Windows.
#include "tests/windows/Check.h"
#include "tests/ExchangeSortOracle.h"
#include "tests/RecordFiles.h"
#include "contacts/Sort.h"


using namespace contacts;

namespace {

struct OracleRow {
    std::string name;
    std::vector<std::string> keys;  // empty: random raw 20-byte keys
    int maxRecords;
    int files;
};

const std::vector<OracleRow> kOracle = {
    {"one key", {"Pepe"}, 10, 300},
    {"two keys", {"Ana", "Luis"}, 12, 3000},
    {"case, accents, euro",
     {"Ana", "ana", "\xC3\x81na", "\xE2\x82\xACmilio", "\xC3\xBF" "ago", "Ana Mar\xC3\xAD" "a", "Zoe", " Ana", ""},
     12, 3000},
    {"raw bytes", {}, 12, 3000},
    {"long files", {"Luis", "Ana", "Bea", "ana", "\xC3\x81lex", "Zoe"}, 400, 40},
};

struct OrderRow {
    std::string name;
    std::vector<std::string> given;
    std::vector<std::string> sorted;
};

const std::vector<OrderRow> kOrders = {
    {"capitals first", {"Luis", "ana", "Ana"}, {"Ana", "Luis", "ana"}},
    {"padding space first", {"Ana Mar\xC3\xAD" "a", "Ana"}, {"Ana", "Ana Mar\xC3\xAD" "a"}},
    {"accent after letters", {"\xC3\xA1lvaro", "zoe"}, {"zoe", "\xC3\xA1lvaro"}},
    {"euro after y diaeresis", {"\xE2\x82\xAC", "\xC3\xBF"}, {"\xC3\xBF", "\xE2\x82\xAC"}},
    {"empty first", {"B", "", "A"}, {"", "A", "B"}},
};

} // namespace

int main(int argc, char **argv)
{
    check::Suite suite(argc, argv);

    // Every record unique (a serial in the surname), so the comparison also catches
    // equal keys that end in the wrong relative order.
    suite.table("matches the exchange sort", kOracle, [](const OracleRow &row) {
        RandomSortFiles random(row.keys, row.maxRecords);
        for (int f = 0; f < row.files; ++f) {
            const std::string file = random.next();
            CHECK_MSG(sortsLikeExchangeSort(file), "file " + std::to_string(f) + " of "
                                                       + std::to_string(file.size() / kRecordSize)
                                                       + " records ends in another order");
        }
    });

    suite.table("named orders", kOrders, [](const OrderRow &row) {
        std::string file;
        for (const std::string &name : row.given)
            file += recordBytes("X", name);
        std::vector<std::string> actual;
        for (std::uint32_t index : exchangeSortOrder(file.data(), row.given.size())) {
            const std::string nombre = decodeCp1252(file.substr(index * kRecordSize + kNombreOffset, kNombreWidth));
            actual.emplace_back(trimSpaces(nombre));
        }
        CHECK_EQ(actual, row.sorted);
    });

    return suite.finish();
}
