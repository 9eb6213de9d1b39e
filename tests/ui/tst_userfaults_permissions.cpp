// The permission faults, run as an unprivileged user in a child process: a read-only
// data file or folder, and a stale personas.tmp made read-only.
#include "tests/ui/UserFaults.h"

void TestAsUnprivilegedUser::initTestCase()
{
    QVERIFY2(::geteuid() != 0, "these cases mean nothing for root");
}

void TestAsUnprivilegedUser::permissionFault_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    addCommandRows("read-only data file");
    addCommandRows("read-only folder");
    addCommandRows("read-only folder, no lock file yet");
    addCommandRows("read-only stale personas.tmp");
}

void TestAsUnprivilegedUser::permissionFault()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    testfiles::TempFolder dir;
    const fs::path folder = dir.path();
    const fs::path dat = folder / "personas.dat";
    const fs::path tmp = folder / "personas.tmp";
    Fault f;
    if (fault == "read-only data file") {
        f.apply = [&] { setMode(dat, 0444); };
        f.clear = [&] { setMode(dat, 0644); };
        f.op = FileOp::Open;
        f.file = "personas.dat";
        f.error = std::errc::permission_denied;
    } else if (fault == "read-only folder") {
        f.apply = [&] { setMode(folder, 0555); };
        f.clear = [&] { setMode(folder, 0755); };
        f.op = FileOp::Open;
        f.file = "personas.tmp";
        f.error = std::errc::permission_denied;
    } else if (fault == "read-only folder, no lock file yet") {
        f.apply = [&] {
            fs::remove(folder / "personas.lck");
            setMode(folder, 0555);
        };
        f.clear = [&] { setMode(folder, 0755); };
        f.op = FileOp::Lock;
        f.file = "personas.lck";
        f.error = std::errc::permission_denied;
    } else {
        // Left by an interrupted run and made read-only since: still only ours to replace.
        f.apply = [&] {
            writeBytes(tmp, std::string(500, 'X'));
            setMode(tmp, 0444);
        };
        f.clear = [] {};
        f.refused = false;
    }
    checkFault(folder, platform::systemFileSystem(), f, command);
    // A folder left read-only would stop its removal.
    setMode(folder, 0755);
}

// Runs TestAsUnprivilegedUser in a child process as "nobody", on folders it owns.
void TestPermissions::permissionsAsUnprivilegedUser()
{
    QStringList prefix;
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            QSKIP("setpriv (util-linux) is not installed: cannot run as an unprivileged user");
        prefix << setpriv << "--reuid=65534" << "--regid=65534" << "--clear-groups" << "--";
    }
    testfiles::TempFolder dir;
    const auto filePath = [&](const char *name) { return QString::fromStdString((dir / name).string()); };
    // The child may not be able to reach the build folder: give it its own copy.
    const QString home = filePath("home");
    const QString program = filePath("tst_userfaults");
    QVERIFY(QDir().mkdir(home));
    QVERIFY(QFile::copy(QCoreApplication::applicationFilePath(), program));
    setMode(dir.path(), 0755);
    setMode(program.toStdString(), 0755);
    if (::geteuid() == 0)
        QCOMPARE(::chown(home.toLocal8Bit().constData(), 65534, 65534), 0);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORTEDA_AS_UNPRIVILEGED_USER"), QStringLiteral("1"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("TMPDIR"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    // In the sanitizer build the leak suppressions must be readable by the child too.
    QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    const QRegularExpressionMatch suppressions = QRegularExpression(QStringLiteral("suppressions=([^:]+)")).match(lsan);
    if (suppressions.hasMatch()) {
        const QString copy = filePath("lsan.supp");
        QVERIFY(QFile::copy(suppressions.captured(1), copy));
        setMode(copy.toStdString(), 0644);
        env.insert(QStringLiteral("LSAN_OPTIONS"), lsan.replace(suppressions.captured(1), copy));
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    if (prefix.isEmpty())
        child.start(program, {});
    else
        child.start(prefix.first(), prefix.mid(1) << program);
    QVERIFY(child.waitForFinished(300000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    const bool passed = child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    if (!passed)
        qWarning("%s", qPrintable(output));
    QVERIFY2(passed, "the unprivileged run failed");
    // Every row ran, none skipped.
    QVERIFY2(output.contains(QRegularExpression(QStringLiteral("Totals: 18 passed, 0 failed, 0 skipped"))),
             qPrintable(output.right(300)));
}
