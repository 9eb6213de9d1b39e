// Windows-1252 conversion and the 105-byte record layout.
#include "contacts/Cp1252.h"
#include "contacts/FileSystem.h"
#include "contacts/Persona.h"

#include <QtTest>

#include <QStringDecoder>

#include <set>

using namespace contacts;

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTrips();
    void encodes_data();
    void encodes();
    void recordLayout();
    void recordRoundTrip();
    void trims_data();
    void trims();
    void errorNamesWhatFailed();
};

void TestCodec::everyByteRoundTrips()
{
    // Qt's own converter (ICU) as an independent table.
    QStringDecoder reference("windows-1252");
    QVERIFY(reference.isValid());
    std::set<char32_t> seen;
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, char(b));
        const std::string text = decodeCp1252(byte);
        QCOMPARE(QString::fromStdString(text), reference.decode(QByteArray(byte.data(), 1)));
        QCOMPARE(encodeCp1252(text, 1), byte);
        seen.insert(cp1252ToUnicode(static_cast<unsigned char>(b)));
    }
    // No two bytes read as the same character.
    QCOMPARE(seen.size(), std::size_t(256));
}

void TestCodec::encodes_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("o acute") << QByteArray("Le\xC3\xB3n") << 4 << QByteArray("Le\xF3n");
    QTest::newRow("euro") << QByteArray("\xE2\x82\xAC") << 1 << QByteArray("\x80");
    QTest::newRow("curly quote, dash") << QByteArray("\xE2\x80\x99\xE2\x80\x94") << 2 << QByteArray("\x92\x97");
    QTest::newRow("Y diaeresis") << QByteArray("\xC5\xB8") << 1 << QByteArray("\x9F");
    QTest::newRow("undefined byte's control") << QByteArray("\xC2\x81") << 1 << QByteArray("\x81");
    QTest::newRow("U+0080 has no byte") << QByteArray("\xC2\x80") << 1 << QByteArray("?");
    QTest::newRow("Polish l") << QByteArray("\xC5\x82") << 1 << QByteArray("?");
    QTest::newRow("CJK") << QByteArray("\xE4\xB8\xAD") << 1 << QByteArray("?");
    QTest::newRow("emoji") << QByteArray("a\xF0\x9F\x98\x80" "b") << 3 << QByteArray("a?b");
    QTest::newRow("truncated sequence") << QByteArray("\xC3") << 2 << QByteArray("? ");
    QTest::newRow("bad continuation") << QByteArray("\xC3(") << 2 << QByteArray("?(");
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << 2 << QByteArray("??");
    QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 3 << QByteArray("???");
    QTest::newRow("padded") << QByteArray("Ana") << 6 << QByteArray("Ana   ");
    QTest::newRow("cut by characters") << QByteArray("\xC3\xB1\xC3\xB1\xC3\xB1") << 2 << QByteArray("\xF1\xF1");
    QTest::newRow("width zero") << QByteArray("Ana") << 0 << QByteArray("");
}

void TestCodec::encodes()
{
    QFETCH(QByteArray, utf8);
    QFETCH(int, width);
    QFETCH(QByteArray, bytes);
    QCOMPARE(QByteArray::fromStdString(encodeCp1252(utf8.toStdString(), width)), bytes);
}

void TestCodec::recordLayout()
{
    const Persona p{"Fern\xC3\xA1ndez de la Vega Mart\xC3\xADn", "Ana", "Calle Le\xC3\xB3n 3", "612345678",
                    "ana@example.es"};
    const Record r = encode(p);
    QCOMPARE(std::string(r.data(), r.size()), std::string("Fern\xE1ndez de la Vega Mart" "Ana                 "
                                                          "Calle Le\xF3n 3        " "612345678      "
                                                          "ana@example.es           "));
    const Record blank = encode(Persona{});
    QCOMPARE(std::string(blank.data(), blank.size()), std::string(105, ' '));
}

void TestCodec::recordRoundTrip()
{
    const Persona p{"P\xC3\xA9rez", "Mar\xC3\xAD" "a", "Plaza Mayor", "+34 91", "m@x.es"};
    const Persona back = decode(encode(p));
    // Read back at full width, trailing spaces included; trimming gives the text.
    QCOMPARE(back.Nombre, std::string("Mar\xC3\xAD" "a") + std::string(15, ' '));
    for (std::size_t f = 0; f < 5; ++f)
        QCOMPARE(std::string(trimSpaces(field(back, f))), field(p, f));
}

void TestCodec::trims_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("trimmed");
    QTest::newRow("both ends") << QByteArray("  a b  ") << QByteArray("a b");
    QTest::newRow("only spaces") << QByteArray("   ") << QByteArray("");
    QTest::newRow("tabs stay") << QByteArray("\ta\t ") << QByteArray("\ta\t");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
}

void TestCodec::trims()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, trimmed);
    QCOMPARE(QByteArray::fromStdString(std::string(trimSpaces(text.toStdString()))), trimmed);
}

void TestCodec::errorNamesWhatFailed()
{
    QTemporaryFile temp;
    QVERIFY(temp.open());
    const std::filesystem::path path = temp.fileName().toStdString();
    FileSystem &system = systemFileSystem();
    const FileHandle file = system.open(path, FileSystem::OpenMode::ReadOnly);
    try {
        system.write(file, 0, "x", 1);
        QFAIL("wrote through a read-only handle");
    } catch (const FileError &error) {
        QCOMPARE(error.op(), FileOp::Write);
        QCOMPARE(error.path(), path);
        const QString message = QString::fromUtf8(error.what());
        QVERIFY(message.contains(name(FileOp::Write)));
        QVERIFY(message.contains(temp.fileName()));
        QVERIFY(message.contains(QString::fromStdString(error.code().message())));
    }
    system.close(file);
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
