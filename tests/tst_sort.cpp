// The fast sort against the literal exchange sort, and the orders users see.
#include "tests/ExchangeSortOracle.h"
#include "tests/RecordFiles.h"
#include "contacts/Sort.h"

#include <QtTest>


using namespace contacts;

class TestSort : public QObject {
    Q_OBJECT
private slots:
    void matchesExchangeSort_data();
    void matchesExchangeSort();
    void namedOrders_data();
    void namedOrders();
};

void TestSort::matchesExchangeSort_data()
{
    QTest::addColumn<QStringList>("keys");  // empty: random raw 20-byte keys
    QTest::addColumn<int>("maxRecords");
    QTest::addColumn<int>("files");
    QTest::newRow("one key") << QStringList{"Pepe"} << 10 << 300;
    QTest::newRow("two keys") << QStringList{"Ana", "Luis"} << 12 << 3000;
    QTest::newRow("case, accents, euro") << QStringList{"Ana", "ana", "\u00C1na", "\u20ACmilio", "\u00FFago",
                                                        "Ana Mar\u00EDa", "Zoe", " Ana", ""}
                                         << 12 << 3000;
    QTest::newRow("raw bytes") << QStringList{} << 12 << 3000;
    QTest::newRow("long files") << QStringList{"Luis", "Ana", "Bea", "ana", "\u00C1lex", "Zoe"} << 400 << 40;
}

// Every record unique (a serial in the surname), so the comparison also catches
// equal keys that end in the wrong relative order.
void TestSort::matchesExchangeSort()
{
    QFETCH(QStringList, keys);
    QFETCH(int, maxRecords);
    QFETCH(int, files);
    std::vector<std::string> keyList;
    for (const QString &key : keys)
        keyList.push_back(key.toStdString());
    RandomSortFiles random(keyList, maxRecords);
    for (int f = 0; f < files; ++f) {
        const std::string file = random.next();
        if (!sortsLikeExchangeSort(file))
            QFAIL(qPrintable(QString("file %1 of %2 records ends in another order").arg(f).arg(file.size() / kRecordSize)));
    }
}

void TestSort::namedOrders_data()
{
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("capitals first") << QStringList{"Luis", "ana", "Ana"} << QStringList{"Ana", "Luis", "ana"};
    QTest::newRow("padding space first") << QStringList{"Ana Mar\u00EDa", "Ana"} << QStringList{"Ana", "Ana Mar\u00EDa"};
    QTest::newRow("accent after letters") << QStringList{"\u00E1lvaro", "zoe"} << QStringList{"zoe", "\u00E1lvaro"};
    QTest::newRow("euro after y diaeresis") << QStringList{"\u20AC", "\u00FF"} << QStringList{"\u00FF", "\u20AC"};
    QTest::newRow("empty first") << QStringList{"B", "", "A"} << QStringList{"", "A", "B"};
}

void TestSort::namedOrders()
{
    QFETCH(QStringList, given);
    QFETCH(QStringList, sorted);
    std::string file;
    for (const QString &name : given)
        file += recordBytes("X", name.toStdString());
    QStringList actual;
    for (std::uint32_t index : exchangeSortOrder(file.data(), std::size_t(given.size()))) {
        const std::string nombre = decodeCp1252(file.substr(index * kRecordSize + kNombreOffset, kNombreWidth));
        actual << QString::fromStdString(std::string(trimSpaces(nombre)));
    }
    QCOMPARE(actual, sorted);
}

QTEST_APPLESS_MAIN(TestSort)
#include "tst_sort.moc"
