#pragma once
// What the cases of tst_userfaults share: the contacts, the faults and how each is
// checked in a real window, and the test classes its parts run.
#include "platform/SystemFileSystem.h"
#include "tests/support/TempFolder.h"
#include "tests/support/SwapSortOracle.h"
#include "tests/support/FaultyFileSystem.h"
#include "wording/FileMessages.h"
#include "ui/ListBox.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/WindowFakes.h"
#include "ui/PersonasWidget.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using contacts::FileError;
using contacts::FileOp;
using contacts::Persona;
using ui::PersonasWidget;
namespace fs = std::filesystem;

namespace userfaults {

const Persona kZapata{"Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es"};
const Persona kGomez{"Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es"};
const Persona kAbril{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};

inline std::string unsortedFile()
{
    return recordsOf({kZapata, kGomez, kAbril});
}

inline std::string sortedFile()
{
    return swapSortLiterally(unsortedFile());
}

// The contact at list index 1 once the file is sorted, with the given name typed
// over it: what add and modify store.
inline std::string typedRecord()
{
    Persona typed = kAbril;
    typed.Nombre = "Rosa";
    return recordsOf({typed});
}

// What the data file holds once `command` has got through.
inline std::string afterCommand(const QString &command)
{
    const std::string sorted = sortedFile();
    if (command == "cmdVerlista")
        return sorted;
    if (command == "cmdAltas")
        return swapSortLiterally(sorted + typedRecord());
    if (command == "cmdBajas")
        return dropRecord(sorted, 1);
    return swapSortLiterally(dropRecord(sorted, 1) + typedRecord());
}

inline QString failureFor(const QString &command)
{
    if (command == "cmdVerlista")
        return QStringLiteral("No se pudo cargar la lista de contactos.");
    if (command == "cmdAltas")
        return QStringLiteral("No se pudo agregar el contacto.");
    if (command == "cmdBajas")
        return QStringLiteral("No se pudo eliminar el contacto.");
    return QStringLiteral("No se pudo modificar el contacto.");
}

inline void addCommandRows(const char *fault)
{
    for (const char *command : {"cmdVerlista", "cmdAltas", "cmdBajas", "cmdModificar"})
        QTest::addRow("%s, %s", fault, command) << QString::fromLatin1(fault) << QString::fromLatin1(command);
}

// One fault the user can meet, made and then cleared on a real folder.
struct Fault {
    std::function<void()> apply;
    std::function<void()> clear;
    FileOp op = FileOp::Open;      // the step that fails,
    const char *file = "";         // on this file,
    std::errc error{};             // with this error
    bool refused = true;           // false: the command gets through all the same
};

// The system's reason as the message gives it: in Spanish, whatever the locale.
inline QString spanishReason(std::errc error)
{
    switch (error) {
    case std::errc::permission_denied: return QStringLiteral("Permiso denegado");
    case std::errc::is_a_directory: return QStringLiteral("Es una carpeta");
    case std::errc::no_such_file_or_directory: return QStringLiteral("No existe el archivo o la carpeta");
    case std::errc::no_space_on_device: return QStringLiteral("No queda espacio en el dispositivo");
    case std::errc::read_only_file_system: return QStringLiteral("El sistema de archivos es de solo lectura");
    default: return QString::fromStdString(std::make_error_code(error).message());
    }
}

// Runs `command` in a window on `folder` while `fault` stands, then again once it
// is cleared, checking the message, the data file and that the window goes on.
inline void checkFault(const fs::path &folder, contacts::FileSystem &fileSystem, const Fault &fault,
                const QString &command)
{
    QStringList messages;
    RecordingMessages recorder(messages);
    ScriptedDialogs dialogs;
    int aboutCalls = 0;
    int quitCalls = 0;
    CountingProgram program(aboutCalls, quitCalls);
    const fs::path dat = folder / "personas.dat";
    writeBytes(dat, unsortedFile());
    auto window = std::make_unique<PersonasWidget>(fileSystem, folder, recorder, dialogs, program.fresh());
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    auto prepare = [&] {
        if (command == "cmdVerlista") {
            writeBytes(dat, unsortedFile()); // so that the load has to reorder it
        } else {
            window->List1()->setListIndex(1);
            window->Text1(1)->setText(QStringLiteral("Rosa"));
        }
    };
    auto press = [&] {
        QTest::mouseClick(window->findChild<QWidget *>(command), Qt::LeftButton);
    };
    prepare();
    const std::string before = readBytes(dat);

    fault.apply();
    press();
    fault.clear();
    if (!fault.refused) {
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
        QCOMPARE(QByteArray::fromStdString(readBytes(dat)), QByteArray::fromStdString(afterCommand(command)));
        return;
    }
    QCOMPARE(messages.size(), 1);
    const QString message = messages.first();
    const QString name = QString::fromStdString((folder / fault.file).string());
    const QString reason = spanishReason(fault.error);
    // The whole message, as the user reads it: the command, then the step, the file
    // and the system's reason.
    QCOMPARE(message, QStringLiteral("%1\n\nNo se pudo %2 «%3».\nError del sistema: %4")
                          .arg(failureFor(command), QString::fromUtf8(wording::describe(fault.op)), name, reason));
    QVERIFY2(fs::is_regular_file(dat) && readBytes(dat) == before, "the data file changed");

    // The window goes on: once the fault is gone, a list load and the command work.
    messages.clear();
    QTest::mouseClick(window->findChild<QWidget *>("cmdVerlista"), Qt::LeftButton);
    QCOMPARE(window->List1()->count(), int(fs::file_size(dat) / contacts::kRecordSize));
    prepare();
    press();
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    QCOMPARE(QByteArray::fromStdString(readBytes(dat)), QByteArray::fromStdString(afterCommand(command)));
    QCOMPARE(window->List1()->count(), int(fs::file_size(dat) / contacts::kRecordSize));
    QVERIFY(!fs::exists(folder / "personas.tmp"));
}

// Fails the opens that a read-only data file or folder would refuse.
class RefusingFileSystem : public FaultyFileSystem {
public:
    fs::path refusedFile;  // refused for writing
    bool active = false;

    contacts::FileHandle open(const fs::path &path, OpenMode mode) override
    {
        if (active && path.filename() == refusedFile && mode != OpenMode::ReadOnly)
            throw FileError(FileOp::Open, path, std::make_error_code(std::errc::permission_denied));
        return FaultyFileSystem::open(path, mode);
    }
};

// A small tmpfs on `folder` for as long as it lives, when the system lets us mount.
class SmallDisk {
public:
    explicit SmallDisk(const fs::path &folder)
        : m_folder(folder)
    {
        m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") == 0;
        m_error = m_mounted ? 0 : errno;
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    QString whyNot() const { return QString::fromLocal8Bit(std::strerror(m_error)); }
    void setReadOnly(bool readOnly)
    {
        const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
        if (::mount("tmpfs", m_folder.c_str(), "tmpfs", flags, "size=64k,mode=0755") != 0)
            qFatal("remount %s: %s", m_folder.c_str(), std::strerror(errno));
    }

private:
    fs::path m_folder;
    bool m_mounted = false;
    int m_error = 0;
};

inline void setMode(const fs::path &path, mode_t mode)
{
    if (::chmod(path.c_str(), mode) != 0)
        qFatal("chmod %s: %s", path.c_str(), std::strerror(errno));
}

// The faults of real files and folders; a full or read-only disk needs a small tmpfs
// mounted, which only root may do.
inline void faultOnFiles()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    testfiles::TempFolder dir;
    fs::path folder = dir / "contactos";
    fs::create_directory(folder);
    const fs::path dat = folder / "personas.dat";
    const fs::path aside = dir / "aside";
    std::unique_ptr<SmallDisk> disk; // unmounted before the folder is removed
    Fault f;
    if (fault == "data file is a folder") {
        f.apply = [&] {
            fs::rename(dat, aside);
            fs::create_directory(dat);
        };
        f.clear = [&] {
            fs::remove(dat);
            fs::rename(aside, dat);
        };
        f.op = FileOp::Open;
        f.file = "personas.dat";
        f.error = std::errc::is_a_directory;
    } else if (fault == "personas.tmp is a folder") {
        f.apply = [&] { fs::create_directory(folder / "personas.tmp"); };
        f.clear = [&] { fs::remove(folder / "personas.tmp"); };
        f.op = FileOp::Remove;
        f.file = "personas.tmp";
        f.error = std::errc::is_a_directory;
    } else if (fault == "folder has gone") {
        // As a removable disk taken out while the program runs.
        f.apply = [&] { fs::rename(folder, aside); };
        f.clear = [&] { fs::rename(aside, folder); };
        f.op = FileOp::Lock;
        f.file = "personas.lck";
        f.error = std::errc::no_such_file_or_directory;
    } else {
        // Root writes through permissions, but not past a full or read-only disk.
        disk = std::make_unique<SmallDisk>(folder);
        if (!disk->mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here (%1); injected ENOSPC and "
                                            "EROFS are covered by the fault sweeps").arg(disk->whyNot())));
        if (fault == "disk full") {
            const fs::path filler = folder / "relleno";
            f.apply = [filler] {
                std::FILE *out = std::fopen(filler.c_str(), "wb");
                QVERIFY(out);
                const std::string block(4096, 'x');
                while (std::fwrite(block.data(), 1, block.size(), out) == block.size() && std::fflush(out) == 0) {
                }
                std::fclose(out);
            };
            f.clear = [filler] { fs::remove(filler); };
            f.op = FileOp::Write;
            f.file = "personas.tmp";
            f.error = std::errc::no_space_on_device;
        } else {
            SmallDisk *small = disk.get();
            f.apply = [small] { small->setReadOnly(true); };
            f.clear = [small] { small->setReadOnly(false); };
            f.op = FileOp::Lock;
            f.file = "personas.lck";
            f.error = std::errc::read_only_file_system;
        }
    }
    checkFault(folder, platform::systemFileSystem(), f, command);
}

} // namespace userfaults

using namespace userfaults;

// Run as an unprivileged user by TestUserFaults::permissionsAsUnprivilegedUser.
class TestAsUnprivilegedUser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void permissionFault_data();
    void permissionFault();
};

class TestUserFaults : public QObject {
    Q_OBJECT
private slots:
    void faultOnRealFiles_data();
    void faultOnRealFiles();
    void injectedPermissionFault_data();
    void injectedPermissionFault();
    void rewriteKeepsThePermissions_data();
    void rewriteKeepsThePermissions();
};

// The cases that need what not every run has: root's right to mount a small disk,
// and a way to become an unprivileged user. Each part runs as its own CTest test,
// which reports itself skipped, rather than passed, when its cases cannot run.
class TestSmallDisk : public QObject {
    Q_OBJECT
private slots:
    void faultOnSmallDisk_data();
    void faultOnSmallDisk();
};

class TestPermissions : public QObject {
    Q_OBJECT
private slots:
    void permissionsAsUnprivilegedUser();
};
