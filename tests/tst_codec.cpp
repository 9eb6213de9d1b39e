// The codec against Qt's converter, and what a failed file call reports. The rest of
// the codec's cases run on every platform in tests/core.
#include "platform/SystemFileSystem.h"
#include "contacts/Cp1252.h"
#include "contacts/FileSystem.h"

#include <QtTest>

#include <QStringDecoder>

#include <set>

using namespace contacts;

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTrips();
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

void TestCodec::errorNamesWhatFailed()
{
    QTemporaryFile temp;
    QVERIFY(temp.open());
    const std::filesystem::path path = temp.fileName().toStdString();
    FileSystem &system = platform::systemFileSystem();
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
