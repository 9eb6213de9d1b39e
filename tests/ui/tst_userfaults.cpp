// The file faults a user meets, met by the real window on real files: a full disk,
// a data file or a temporary file that is a folder, a folder that has gone, and,
// run as an unprivileged user (root's permissions stop nothing), a read-only data
// file or folder. Each command shows a Spanish message naming what failed, on which
// file and why, leaves the data file as it was, and works once the fault is gone.
#include "tests/ui/UserFaults.h"

void TestUserFaults::faultOnRealFiles_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    addCommandRows("data file is a folder");
    addCommandRows("personas.tmp is a folder");
    addCommandRows("folder has gone");
}

void TestSmallDisk::faultOnSmallDisk_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    addCommandRows("disk full");
    addCommandRows("read-only file system");
}

void TestUserFaults::faultOnRealFiles()
{
    faultOnFiles();
}

void TestSmallDisk::faultOnSmallDisk()
{
    faultOnFiles();
}

void TestUserFaults::injectedPermissionFault_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    addCommandRows("read-only data file");
    addCommandRows("read-only folder");
}

// The permission faults again, made by the file layer, since root's writes get through.
void TestUserFaults::injectedPermissionFault()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    testfiles::TempFolder folder;
    RefusingFileSystem refusing;
    Fault f;
    f.apply = [&] { refusing.active = true; };
    f.clear = [&] { refusing.active = false; };
    f.op = FileOp::Open;
    f.error = std::errc::permission_denied;
    refusing.refusedFile = f.file = fault == "read-only data file" ? "personas.dat" : "personas.tmp";
    checkFault(folder.path(), refusing, f, command);
}

void TestUserFaults::rewriteKeepsThePermissions_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("mode");
    for (const char *command : {"sort", "add", "delete", "modify"}) {
        QTest::addRow("%s, private file", command) << QString::fromLatin1(command) << 0600;
        QTest::addRow("%s, shared with the group", command) << QString::fromLatin1(command) << 0660;
    }
}

// The rewrite puts a new file in place: it must not let others read the contacts.
void TestUserFaults::rewriteKeepsThePermissions()
{
    QFETCH(QString, command);
    QFETCH(int, mode);
    testfiles::TempFolder folder;
    const fs::path dat = folder / "personas.dat";
    writeBytes(dat, unsortedFile());
    setMode(dat, mode_t(mode));
    const mode_t oldMask = ::umask(0);
    contacts::ContactFile file(platform::systemFileSystem(), folder.path());
    if (command == "sort")
        file.sortAndList();
    else if (command == "add")
        file.append(kAbril);
    else if (command == "delete")
        QVERIFY(file.remove(0, asRecord(unsortedFile().substr(0, 105))));
    else
        QVERIFY(file.modify(0, asRecord(unsortedFile().substr(0, 105)), kAbril));
    ::umask(oldMask);
    struct stat st {};
    QCOMPARE(::stat(dat.c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
    QVERIFY(readBytes(dat) != unsortedFile());
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    if (qEnvironmentVariableIsSet("VORTEDA_AS_UNPRIVILEGED_USER")) {
        TestAsUnprivilegedUser test;
        return QTest::qExec(&test, argc, argv);
    }
    const QByteArray part = qgetenv("VORTEDA_TEST_PART");
    if (part == "smalldisk") {
        TestSmallDisk test;
        return QTest::qExec(&test, argc, argv);
    }
    if (part == "permissions") {
        TestPermissions test;
        return QTest::qExec(&test, argc, argv);
    }
    TestUserFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "moc_UserFaults.cpp"
