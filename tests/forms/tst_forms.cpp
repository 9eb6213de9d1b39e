// What the three windows do, driven through fake views: the same cases on Linux and,
// cross-built, under Wine, over each platform's file layer.
#include <doctest/doctest.h>

#include "tests/support/FaultyFileSystem.h"
#include "tests/forms/FakeViews.h"
#include "tests/support/RecordFiles.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VersionTexts.h"
#include "contacts/ContactFile.h"
#include "forms/HandOver.h"
#include "platform/Launcher.h"
#include "platform/SysInfo.h"
#include "platform/SystemFileSystem.h"
#include "platform/TableRegistry.h"
#include "version/Version.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

using contacts::Persona;
namespace fs = std::filesystem;

namespace {

const Persona kZapata{"Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es"};
const Persona kGomez{"Gómez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es"};
const Persona kAbril{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};

// A program folder of its own, removed afterwards.
class Folder : public testfiles::TempFolder {
public:
    ~Folder()
    {
        std::error_code ignored;
        fs::permissions(data(), fs::perms::owner_all, ignored);
    }

    fs::path data() const { return path() / contacts::kDataFileName; }
    bool hasData() const { return fs::exists(data()); }
    std::string read() const { return readBytes(data()); }
    void write(const std::string &bytes) const { writeBytes(data(), bytes); }
};

// One contacts window over a folder, loaded.
struct Window {
    explicit Window(const Folder &folder, contacts::FileSystem &files = platform::systemFileSystem())
        : form(view, files, folder.path(), {[this] { ++abouts; }, [this] { ++exits; }, [this] {
                   ++endsNow;
                   if (onEndNow)
                       onEndNow();
               }})
    {
        form.Form_Load();
    }

    FakePersonasView view;
    int abouts = 0;
    int exits = 0;
    int endsNow = 0;
    std::function<void()> onEndNow; // the process would be gone
    forms::frmPersonas form;
};

} // namespace

const std::array<std::string, 5> kEmptyFields{};

TEST_CASE("startsWithCaptionAndCreatesMissingFile")
{
    Folder folder;
    CHECK(!folder.hasData());
    Window window(folder);
    CHECK(window.view.caption == "Vorteda " + testversion::majorMinor());
    CHECK(window.view.entries.empty());
    CHECK(window.view.selected == -1);
    CHECK(folder.hasData());
    CHECK(folder.read().empty());
    CHECK(window.view.messages.empty());
}

TEST_CASE("listsSurnamesInGivenNameOrder")
{
    Folder folder;
    folder.write(recordsOf({kZapata, kGomez, kAbril}));
    Window window(folder);
    CHECK(window.view.entries == std::vector<std::string>{"Gómez", "Abril", "Zapata"});
    CHECK(window.view.selected == -1);
    // The file itself was sorted, so list entry i is record i + 1.
    CHECK(folder.read() == recordsOf({kGomez, kAbril, kZapata}));
}

TEST_CASE("selectingAnEntryShowsItsTrimmedFields")
{
    const struct {
        const char *name;
        std::string file;
        int index;
        std::array<std::string, 5> fields;
    } rows[] = {
        {"Abril shows the Luis record", recordsOf({kZapata, kGomez, kAbril}), 1,
         {"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"}},
        {"leading spaces are trimmed", recordsOf({{"   Ruiz", "  Eva", " Sur 2", " 1", "  e@x.es"}}), 0,
         {"Ruiz", "Eva", "Sur 2", "1", "e@x.es"}},
        {"an empty surname can be selected", recordsOf({{"", "Zoe", "", "", ""}, kAbril}), 1, {"", "Zoe", "", "", ""}},
        {"full-width fields keep every character",
         recordsOf({{"Abcdefghijklmnopqrstuvwxy", "Nombre Compuesto Larg", "", "", ""}}), 0,
         {"Abcdefghijklmnopqrstuvwxy", "Nombre Compuesto Lar", "", "", ""}},
    };
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(row.file);
        Window window(folder);
        window.view.click(window.form, row.index);
        CHECK(window.view.selected == row.index);
        CHECK(window.view.fields == row.fields);
    }
}

TEST_CASE("listLoadKeepsFieldsAndClearsSelection")
{
    Folder folder;
    folder.write(recordsOf({kZapata, kGomez, kAbril}));
    Window window(folder);
    window.view.click(window.form, 2);
    window.form.cmdVerlista_Click();
    CHECK(window.view.selected == -1);
    CHECK(window.view.fields[0] == "Zapata");
    CHECK(window.view.fields[1] == "Pedro");
    CHECK(window.view.entries.size() == 3);
}

TEST_CASE("addWithEmptyFieldsListsABlankLineFirst")
{
    Folder folder;
    folder.write(recordsOf({kGomez, kAbril}));
    Window window(folder);
    window.form.cmdAltas_Click();
    CHECK(window.view.entries == std::vector<std::string>{"", "Gómez", "Abril"});
    CHECK(folder.read() == std::string(105, ' ') + recordsOf({kGomez, kAbril}));
    CHECK(window.view.messages.empty());
}

TEST_CASE("deleteRemovesTheSelectedRecord")
{
    const struct {
        const char *name;
        std::string file;
        int index;
        std::string expected;
    } rows[] = {
        {"the only record", recordsOf({kAbril}), 0, ""},
        {"the first of three", recordsOf({kGomez, kAbril, kZapata}), 0, recordsOf({kAbril, kZapata})},
        {"the last of three", recordsOf({kGomez, kAbril, kZapata}), 2, recordsOf({kGomez, kAbril})},
        {"one of two equal contacts", recordsOf({kGomez, kGomez, kAbril}), 1, recordsOf({kGomez, kAbril})},
    };
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(row.file);
        Window window(folder);
        window.view.click(window.form, row.index);
        window.form.cmdBajas_Click();
        CHECK(folder.read() == row.expected);
        CHECK(window.view.entries.size() == row.expected.size() / 105);
        CHECK(window.view.selected == -1);
        CHECK(!fs::exists(folder.path() / contacts::kTempFileName));
        CHECK(window.view.messages.empty());
    }
}

TEST_CASE("deleteKeepsTheFieldsShown")
{
    Folder folder;
    folder.write(recordsOf({kGomez, kAbril}));
    Window window(folder);
    window.view.click(window.form, 1);
    window.form.cmdBajas_Click();
    CHECK(window.view.entries == std::vector<std::string>{"Gómez"});
    CHECK(window.view.fields[0] == "Abril");
    CHECK(window.view.fields[3] == "600555666");
}

TEST_CASE("deleteWithoutSelectionDoesNotOpenTheFile")
{
    Folder folder;
    folder.write(recordsOf({kGomez, kAbril}));
    FaultyFileSystem files;
    Window window(folder, files);
    files.reset();
    window.form.cmdBajas_Click();
    CHECK(files.calls() == 0u);
    CHECK(window.view.entries.size() == 2);
}

TEST_CASE("modifyMovesTheContactToItsNewPlace")
{
    Folder folder;
    folder.write(recordsOf({kGomez, kAbril, kZapata}));
    Window window(folder);
    window.view.click(window.form, 0); // Gómez, Ana
    window.view.fields[1] = "Rosa";
    window.form.cmdModificar_Click();
    CHECK(window.view.entries == std::vector<std::string>{"Abril", "Zapata", "Gómez"});
    CHECK(window.view.selected == -1);
    CHECK(window.view.fields == kEmptyFields);
    Persona moved = kGomez;
    moved.Nombre = "Rosa";
    CHECK(folder.read() == recordsOf({kAbril, kZapata, moved}));
}

TEST_CASE("modifyWithoutSelectionAdds")
{
    Folder folder;
    folder.write(recordsOf({kGomez}));
    Window window(folder);
    window.view.fill({"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"});
    window.form.cmdModificar_Click();
    CHECK(folder.read() == recordsOf({kGomez, kAbril}));
    CHECK(window.view.fields[0].empty());
}

TEST_CASE("clearThenDeleteStillDeletesTheSelection")
{
    Folder folder;
    folder.write(recordsOf({kGomez, kAbril, kZapata}));
    Window window(folder);
    window.view.click(window.form, 1);
    window.form.cmdLimpiar_Click();
    CHECK(window.view.fields == kEmptyFields);
    CHECK(window.view.selected == 1);
    window.form.cmdBajas_Click();
    CHECK(folder.read() == recordsOf({kGomez, kZapata}));
}

TEST_CASE("searchSelectsFirstEntryWithPrefix")
{
    // List order (by given name): Gómez (Ana), Gomes (Bea), Abril (Luis), Zapata (Pedro).
    const struct {
        const char *name;
        const char *search;
        int index;
        const char *surname;
    } rows[] = {
        {"accented capital finds it", "Gó", 0, "Gómez"},
        {"case matters", "gó", -1, ""},
        {"accents are distinct letters", "Gomez", -1, ""},
        {"first of two in list order", "G", 0, "Gómez"},
        {"second prefix", "Gom", 1, "Gomes"},
        {"empty text selects the first entry", "", 0, "Gómez"},
        {"longer than every surname", "Zapatazo", -1, ""},
        {"the last entry", "Z", 3, "Zapata"},
    };
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(recordsOf({kZapata, kGomez, kAbril, {"Gomes", "Bea", "", "", ""}}));
        FaultyFileSystem files;
        Window window(folder, files);
        files.reset();
        window.view.type(window.form, row.search);
        if (*row.search == '\0')
            CHECK(files.calls() > 0); // emptying the box searched too
        CHECK(window.view.selected == row.index);
        CHECK(window.view.fields[0] == row.surname);
        if (row.index < 0)
            CHECK(window.view.fields == kEmptyFields);
    }
}

TEST_CASE("searchOnEmptyListSelectsNothing")
{
    Folder folder;
    Window window(folder);
    window.view.type(window.form, "a");
    window.view.type(window.form, "");
    CHECK(window.view.selected == -1);
}

namespace {

std::vector<contacts::Record> sortedRecords(const std::string &file)
{
    std::vector<contacts::Record> out;
    for (std::size_t at = 0; at + 105 <= file.size(); at += 105) {
        contacts::Record record;
        std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(at), 105, record.begin());
        out.push_back(record);
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST_CASE("failedFileStepLeavesTheFileAndGoesOn")
{
    const std::string before = recordsOf({kGomez, kAbril, kZapata});
    const auto commands = {&forms::frmPersonas::cmdAltas_Click, &forms::frmPersonas::cmdBajas_Click,
                           &forms::frmPersonas::cmdModificar_Click};
    for (const auto command : commands) {
        Folder folder;
        // Opens a window, selects Abril, types a given name, and runs the command with
        // file call `failAt` failing (0: none).
        auto run = [&](FaultyFileSystem &files, std::uint64_t failAt) {
            folder.write(before);
            auto window = std::make_unique<Window>(folder, files);
            window->view.click(window->form, 1);
            window->view.fields[1] = "Bea";
            files.reset();
            files.failAt(failAt, std::errc::no_space_on_device);
            (window->form.*command)();
            return window;
        };
        FaultyFileSystem clean;
        REQUIRE(run(clean, 0)->view.messages.empty());
        const std::string after = folder.read();
        REQUIRE(after != before);

        // Fail each file call of the command in turn, the reloads after it included,
        // until a run makes fewer than N calls.
        std::uint64_t failures = 0;
        for (std::uint64_t n = 1;; ++n) {
            CAPTURE(n);
            FaultyFileSystem files;
            const auto window = run(files, n);
            if (files.calls() < n)
                break; // the command and its reloads made fewer than n calls
            REQUIRE(n < 1000);
            const contacts::FileOp failed = files.log()[n - 1];
            const std::string failedName = contacts::name(failed);
            CAPTURE(failedName);
            const std::string now = folder.read();
            // Either the command did not happen, or it did and only the list load after
            // it failed: the same records as after, perhaps not yet in order.
            CHECK((now == before || sortedRecords(now) == sortedRecords(after)));
            CHECK(window->view.entries.size() == now.size() / 105);
            // Locks and unlocks alternate: an even-numbered one lets go.
            const auto locks = std::count(files.log().begin(), files.log().begin() + std::ptrdiff_t(n),
                                          contacts::FileOp::Lock);
            if (failed == contacts::FileOp::SyncFolder || (failed == contacts::FileOp::Lock && locks % 2 == 0)) {
                // Making a rename durable is worth a try, and letting go of the lock
                // comes after the work: neither fails the command, which goes through
                // whole.
                CHECK(window->view.messages.empty());
                CHECK(now == after);
                continue;
            }
            ++failures;
            REQUIRE(window->view.messages.size() == 1);
            const std::string &message = window->view.messages.front();
            CAPTURE(message);
            CHECK(message.starts_with("No se pudo"));
            const std::u8string folderText = folder.path().u8string();
            CHECK(message.find(std::string(folderText.begin(), folderText.end())) != std::string::npos);
            if (now == before) // the fields still hold what the user typed, to try again
                CHECK(window->view.fields[1] == "Bea");
        }
        // Every call a command makes can fail, the sync aside.
        CHECK(failures > 0);
        CHECK(folder.read() == after);
    }
}

namespace {

// Every attempt to write the sorted copy fails.
class NoTempFileSystem : public FaultyFileSystem {
public:
    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override
    {
        if (path.filename() == contacts::kTempFileName)
            throw contacts::FileError(contacts::FileOp::Open, path,
                                      std::make_error_code(std::errc::read_only_file_system));
        return FaultyFileSystem::open(path, mode);
    }
};

// Refuses to open the data file for writing, as a read-only file does for a user.
class ReadOnlyDataFileSystem : public FaultyFileSystem {
public:
    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override
    {
        if (path.filename() == contacts::kDataFileName && mode != OpenMode::ReadOnly)
            throw contacts::FileError(contacts::FileOp::Open, path,
                                      std::make_error_code(std::errc::permission_denied));
        return FaultyFileSystem::open(path, mode);
    }
};

} // namespace

TEST_CASE("unwritableFolderStillListsTheFile")
{
    Folder folder;
    folder.write(recordsOf({kZapata, kGomez}));
    NoTempFileSystem files;
    Window window(folder, files);
    REQUIRE(window.view.messages.size() == 1);
    CHECK(window.view.messages.front().find("cargar la lista") != std::string::npos);
    CHECK(window.view.messages.front().find("personas.tmp") != std::string::npos);
    CHECK(window.view.entries == std::vector<std::string>{"Zapata", "Gómez"});
    window.view.click(window.form, 1);
    CHECK(window.view.fields[1] == "Ana");
    CHECK(folder.read() == recordsOf({kZapata, kGomez}));
}

TEST_CASE("readOnlyDataFileIsListedAndNeverReplaced")
{
    const struct {
        const char *name;
        std::string file;
        std::size_t loadMessages;
    } rows[] = {
        {"already in order: nothing to say", recordsOf({kGomez, kAbril}), 0},
        {"out of order: cannot be sorted", recordsOf({kAbril, kGomez}), 1},
    };
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(row.file);
        ReadOnlyDataFileSystem files;
        Window window(folder, files);
        CHECK(window.view.messages.size() == row.loadMessages);
        CHECK(window.view.entries.size() == 2);
        window.view.click(window.form, 1);
        window.form.cmdBajas_Click();
        REQUIRE(window.view.messages.size() == row.loadMessages + 1);
        CHECK(window.view.messages.back().starts_with("No se pudo eliminar el contacto."));
        CHECK(folder.read() == row.file);
    }
}

// Another copy holds the lock throughout: the window opens with the file listed as
// it stands and says so, and an add says so too, changing nothing; once the lock is
// let go the same add goes through.
TEST_CASE("anotherCopyHoldingTheLockIsReportedAndChangesNothing")
{
    Folder folder;
    const std::string old = recordsOf({kZapata, kGomez}); // out of order: the load would sort
    folder.write(old);
    contacts::FileSystem &system = platform::systemFileSystem();
    const contacts::FileHandle held = system.lock(folder.path() / contacts::kLockFileName);
    FaultyFileSystem files(system);
    Window window(folder, files);
    const std::string saving = "Otra copia de Vorteda está guardando cambios en este archivo";
    REQUIRE(window.view.messages.size() == 1);
    CHECK(window.view.messages[0].starts_with("No se pudo cargar la lista de contactos.\n\n" + saving));
    CHECK(window.view.messages[0].find("personas.dat") != std::string::npos);
    CHECK(window.view.messages[0].find("Vuelva a intentarlo") != std::string::npos);
    CHECK(window.view.entries == std::vector<std::string>{"Zapata", "Gómez"});
    window.view.fields = {"Nuevo", "Eva", "", "", ""};
    files.reset();
    window.form.cmdAltas_Click();
    REQUIRE(window.view.messages.size() == 2);
    CHECK(window.view.messages[1].find(saving) != std::string::npos);
    CHECK(folder.read() == old);
    CHECK(window.view.fields[0] == "Nuevo");
    // The list after it shows the file as it stands, without waiting for the lock again.
    CHECK(std::count(files.log().begin(), files.log().end(), contacts::FileOp::Lock) == 1);
    CHECK(window.view.entries == std::vector<std::string>{"Zapata", "Gómez"});
    system.unlock(held);
    window.form.cmdAltas_Click();
    CHECK(window.view.messages.size() == 2);
    CHECK(window.view.entries == std::vector<std::string>{"Gómez", "Nuevo", "Zapata"});
}

TEST_CASE("deleteRefusesARecordChangedByAnotherCopy")
{
    Folder folder;
    folder.write(recordsOf({kGomez, kAbril, kZapata}));
    Window window(folder);
    Window other(folder);
    window.view.click(window.form, 1); // Abril, shown here
    other.view.click(other.form, 0);
    other.form.cmdBajas_Click();
    CHECK(folder.read() == recordsOf({kAbril, kZapata}));

    // Entry 1 of this window is now Zapata in the file: nothing may be removed.
    window.form.cmdBajas_Click();
    CHECK(window.view.messages.size() == 1);
    CHECK(folder.read() == recordsOf({kAbril, kZapata}));
    CHECK(window.view.entries == std::vector<std::string>{"Abril", "Zapata"});

    window.view.click(window.form, 0);
    window.view.fields[2] = "Nueva 1";
    other.view.click(other.form, 0);
    other.view.fields[1] = "Zeta";
    other.form.cmdModificar_Click();
    window.form.cmdModificar_Click();
    CHECK(window.view.messages.size() == 2);
    Persona renamed = kAbril;
    renamed.Nombre = "Zeta";
    CHECK(folder.read() == recordsOf({kZapata, renamed}));
}

// Another writer (a second copy, vorteda-contactos) changes the file behind a loaded
// list. Choosing an entry then loads the list again and keeps the chosen contact
// chosen; a command that finds the file changed since does nothing, says so, and
// chooses the contact again. No command ever touches a record the window does not show.
TEST_CASE("two writers: the window never acts on a stale list")
{
    using contacts::ContactFile;
    const Persona aguirre{"Aguirre", "Aaron", "Real 2", "600777888", "aa@correo.es"};
    const Persona garciaAna{"García", "Ana", "Norte 1", "1", ""};
    const Persona garciaBea{"García", "Bea", "Sur 2", "2", ""};
    Persona zoe = kAbril;
    zoe.Nombre = "Zoe";
    Persona zapataCalled = kZapata;
    zapataCalled.Telefono = "699000000";
    Persona zapataMoved = kZapata;
    zapataMoved.Direccion = "Nueva 9";

    const auto adds = [](const Persona &added) {
        return [added](ContactFile &file) {
            file.append(added);
            file.sortAndList();
        };
    };
    // The other writer removes or changes the record it has at `index`.
    const auto removes = [](std::int64_t index) {
        return [index](ContactFile &file) { file.remove(index, file.read(index).value()); };
    };
    const auto changes = [](std::int64_t index, const Persona &into) {
        return [index, into](ContactFile &file) {
            file.modify(index, file.read(index).value(), into);
            file.sortAndList();
        };
    };
    enum class Command { None, Delete, Modify };
    const struct {
        const char *name;
        std::vector<Persona> start;
        std::function<void(ContactFile &)> other;
        bool afterChoosing; // the other writer acts once the entry is chosen
        int chosen;         // clicked in the list as loaded; -1: "Ag" typed in the search box
        int selected;       // once chosen
        std::optional<Persona> shown; // in the fields once chosen; none: emptied
        Command command;
        int times; // the command, once or twice
        std::vector<Persona> after;
        std::size_t messages;
    } rows[] = {
        {"a contact added who sorts first: Zapata chosen and deleted", {kAbril, kZapata}, adds(aguirre), false, 1, 2,
         kZapata, Command::Delete, 1, {aguirre, kAbril}, 0},
        {"a contact added who sorts first: Zapata chosen and modified", {kAbril, kZapata}, adds(aguirre), false, 1, 2,
         kZapata, Command::Modify, 1, {aguirre, kAbril, zapataMoved}, 0},
        {"the first contact deleted: the chosen one moves up", {kAbril, kZapata}, removes(0), false, 1, 0, kZapata,
         Command::Delete, 1, {}, 0},
        {"a given name changed: the two change places", {kAbril, kZapata}, changes(0, zoe), false, 1, 0, kZapata,
         Command::Delete, 1, {zoe}, 0},
        {"the chosen contact changed in place: its new fields", {kAbril, kZapata}, changes(1, zapataCalled), false, 1,
         1, zapataCalled, Command::Delete, 1, {kAbril}, 0},
        {"the chosen contact gone: nothing chosen, told", {kAbril, kZapata}, removes(1), false, 1, -1, std::nullopt,
         Command::Delete, 1, {kAbril}, 1},
        {"two of one surname: the second stays the second", {garciaAna, garciaBea}, adds(aguirre), false, 1, 2,
         garciaBea, Command::Delete, 1, {aguirre, garciaAna}, 0},
        {"changed once chosen: the delete does nothing, then deletes the one shown", {kAbril, kZapata}, adds(aguirre),
         true, 1, 1, kZapata, Command::Delete, 2, {aguirre, kAbril}, 1},
        {"changed once chosen: the modify does nothing and keeps what was typed", {kAbril, kZapata}, adds(aguirre),
         true, 1, 1, kZapata, Command::Modify, 2, {aguirre, kAbril, zapataMoved}, 1},
        {"a search in a list left behind", {kAbril, kZapata}, adds(aguirre), false, -1, 0, aguirre, Command::None, 1,
         {aguirre, kAbril, kZapata}, 0},
    };
    const auto fieldsOf = [](const std::optional<Persona> &persona) {
        if (!persona)
            return kEmptyFields;
        return std::array<std::string, 5>{persona->Apellido, persona->Nombre, persona->Direccion, persona->Telefono,
                                          persona->Email};
    };
    const auto bytesOf = [](const std::vector<Persona> &personas) {
        std::string bytes;
        for (const Persona &persona : personas) {
            const contacts::Record record = contacts::encode(persona);
            bytes.append(record.data(), record.size());
        }
        return bytes;
    };
    for (const auto &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        Folder folder;
        folder.write(bytesOf(row.start));
        Window window(folder);
        REQUIRE(window.view.entries.size() == row.start.size());
        ContactFile other(platform::systemFileSystem(), folder.path());
        if (!row.afterChoosing)
            row.other(other);
        if (row.chosen >= 0)
            window.view.click(window.form, row.chosen);
        else
            window.view.type(window.form, "Ag");
        if (row.afterChoosing)
            row.other(other);
        else
            CHECK(window.view.messages.size() == row.messages);
        CHECK(window.view.selected == row.selected);
        CHECK(window.view.fields == fieldsOf(row.shown));
        window.view.fields[2] = "Nueva 9";
        for (int i = 0; i < row.times; ++i) {
            if (row.command == Command::Delete)
                window.form.cmdBajas_Click();
            else if (row.command == Command::Modify)
                window.form.cmdModificar_Click();
        }
        CHECK(folder.read() == bytesOf(row.after));
        CHECK(window.view.entries.size() == row.after.size());
        CHECK(window.view.messages.size() == row.messages);
        // The window's own rewrites leave a list it knows to be current: a click then
        // reads one record, without loading the list again.
        if (!row.after.empty()) {
            const int loads = window.view.listLoads;
            window.view.click(window.form, 0);
            CHECK(window.view.listLoads == loads);
            CHECK(window.view.fields[0] == row.after[0].Apellido);
        }
        for (const std::string &message : window.view.messages)
            CHECK(message.starts_with("El contacto seleccionado ya no es el que se muestra"));
    }
}

TEST_CASE("the menus ask the program for the About window and the end")
{
    Folder folder;
    Window window(folder);
    window.form.mnuAbout_Click();
    window.form.mnuSalir_Click();
    CHECK(window.abouts == 1);
    CHECK(window.exits == 1);
}

TEST_CASE("the splash shows the version and hands over once, after closing")
{
    for (const bool byKey : {false, true}) {
        CAPTURE(byKey);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        program.windowOpened(forms::Window::Splash);
        FakeSplashView view;
        forms::frmSplash splash(view, program);
        splash.Form_Load();
        CHECK(view.version == "Version " + testversion::full());
        CHECK(view.timer == 1500);
        const auto handler = [&](auto step) {
            program.run([&] {
                step();
                if (view.closes > 0 && program.isOpen(forms::Window::Splash))
                    program.windowClosed(forms::Window::Splash); // what the view's close reports
            });
        };
        if (byKey)
            handler([&] { splash.Form_KeyPress('a'); });
        else
            handler([&] { splash.Timer1_Timer(); });
        handler([&] { splash.Form_KeyPress('b'); });
        handler([&] { splash.Timer1_Timer(); });
        CHECK(toolkit.opened == std::vector<forms::Window>{forms::Window::Personas});
        CHECK(view.closes == 1);
        CHECK(view.timer == 0);
        // Between the splash's close and the main window's show no window was open,
        // yet the program went on.
        CHECK(toolkit.loopEnds == 0);
        // The key that ended the splash is kept from the main window: its repeats
        // and its release, until another key is pressed.
        CHECK(program.swallowsKey('a', forms::KeyEvent::Repeat, 700) == byKey);
        CHECK(program.swallowsKey('b', forms::KeyEvent::Release, 720) == false);
        CHECK(program.swallowsKey('a', forms::KeyEvent::Release, 740) == byKey);
        CHECK(program.swallowsKey('a', forms::KeyEvent::Release, 760) == false);
    }
}

// The key that ended the splash, held down on, as the main window's toolkit reports
// it. X11 repeats it as a release and a press with one server time; Qt marks them as
// a repeat only when the press is already queued behind the release, which on a busy
// machine it is not. Qt also shows each press twice (its shortcut check first).
TEST_CASE("a key held through the splash never reaches the main window")
{
    using forms::KeyEvent;
    struct Step {
        int key;
        KeyEvent event;
        std::uint32_t time; // the window system's, in milliseconds
        bool swallowed;
    };
    const struct {
        const char *name;
        std::vector<Step> steps;
    } rows[] = {
        {"repeats marked as such, then let go",
         {{'x', KeyEvent::Repeat, 660, true}, {'x', KeyEvent::Repeat, 660, true}, {'x', KeyEvent::Repeat, 700, true},
          {'x', KeyEvent::Release, 900, true}, {'b', KeyEvent::Press, 1500, false}}},
        {"busy machine: each repeat an unmarked release and press at one time",
         {{'x', KeyEvent::Release, 660, true}, {'x', KeyEvent::Press, 660, true}, {'x', KeyEvent::Press, 660, true},
          {'x', KeyEvent::Release, 700, true}, {'x', KeyEvent::Press, 700, true}, {'x', KeyEvent::Press, 700, true},
          {'x', KeyEvent::Release, 740, true}, {'x', KeyEvent::Repeat, 740, true}, {'x', KeyEvent::Release, 900, true},
          {'x', KeyEvent::Press, 1400, false}, {'x', KeyEvent::Press, 1400, false}}},
        {"marked and unmarked repeats mixed",
         {{'x', KeyEvent::Repeat, 660, true}, {'x', KeyEvent::Release, 700, true}, {'x', KeyEvent::Press, 700, true},
          {'x', KeyEvent::Repeat, 740, true}, {'x', KeyEvent::Release, 780, true}, {'x', KeyEvent::Press, 781, true}}},
        {"let go, then pressed again: typed", {{'x', KeyEvent::Release, 120, true}, {'x', KeyEvent::Press, 300, false},
                                               {'x', KeyEvent::Press, 300, false}, {'x', KeyEvent::Repeat, 960, false}}},
        {"another key while it is held: both typed",
         {{'x', KeyEvent::Repeat, 660, true}, {'c', KeyEvent::Press, 680, false}, {'x', KeyEvent::Repeat, 700, false}}},
        {"another key's release changes nothing",
         {{'c', KeyEvent::Release, 100, false}, {'x', KeyEvent::Release, 660, true}, {'x', KeyEvent::Press, 660, true}}},
        {"a second release without a press in between",
         {{'x', KeyEvent::Release, 120, true}, {'x', KeyEvent::Release, 200, false}, {'x', KeyEvent::Press, 200, false}}},
        {"the times wrap", {{'x', KeyEvent::Release, 0xFFFFFFF0u, true}, {'x', KeyEvent::Press, 4, true},
                            {'x', KeyEvent::Release, 30, true}, {'x', KeyEvent::Press, 20, false}}},
    };
    for (const auto &row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        program.keepKeyFromMainWindow('x');
        program.handOver();
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            CAPTURE(i);
            const Step &step = row.steps[i];
            CHECK(program.swallowsKey(step.key, step.event, step.time) == step.swallowed);
        }
    }
}

// When the program ends: not in the hand-over from the splash to the main window, not
// while the About window alone is open, but once the last window has closed; and at
// once on "Salir", every window closing.
TEST_CASE("the program ends with its last window, or at once on Salir")
{
    using forms::Window;
    struct Row {
        const char *name;
        std::vector<Window> open;
        std::vector<Window> close; // in this order; empty with `salir`
        bool salir;
        int loopEnds;
    };
    const std::vector<Row> rows = {
        {"main window alone", {Window::Personas}, {Window::Personas}, false, 1},
        {"About first, then main", {Window::Personas, Window::About}, {Window::About, Window::Personas}, false, 1},
        {"About closed, main open", {Window::Personas, Window::About}, {Window::About}, false, 0},
        {"main closed, About open", {Window::Personas, Window::About}, {Window::Personas}, false, 0},
        {"Salir closes everything", {Window::Personas, Window::About}, {}, true, 1},
    };
    for (const Row &row : rows) {
        CAPTURE(row.name);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        for (Window window : row.open)
            program.run([&] { toolkit.openWindow(window); });
        for (Window window : row.close)
            program.windowClosed(window);
        if (row.salir)
            program.run([&] { program.quit(); });
        CHECK(toolkit.loopEnds == row.loopEnds);
        if (row.salir) {
            CHECK(toolkit.closeAll == 1);
            CHECK_FALSE(program.isOpen(Window::Personas));
            CHECK_FALSE(program.isOpen(Window::About));
        }
    }
}

TEST_CASE("the hand-over keeps the program running while the main window loads")
{
    // The main window's load may let events run before it shows, as a message box
    // would: the splash is closed by then and no window is open.
    for (const bool slowLoad : {false, true}) {
        CAPTURE(slowLoad);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        program.start();
        REQUIRE(program.isOpen(forms::Window::Splash));
        program.run([&] {
            program.windowClosed(forms::Window::Splash);
            if (slowLoad)
                CHECK(toolkit.loopEnds == 0);
            program.handOver();
        });
        CHECK(toolkit.loopEnds == 0);
        CHECK(program.isOpen(forms::Window::Personas));
    }
}

TEST_CASE("a file handed to the program goes to the main window's import once it is up")
{
    FakeProgramView toolkit;
    forms::Program program(toolkit);
    toolkit.program = &program;
    program.importOnStart("/home/ana/agenda.vcf");
    program.start();
    CHECK(toolkit.handed.empty()); // the splash still comes first
    program.run([&] {
        program.windowClosed(forms::Window::Splash);
        program.handOver();
    });
    program.handOver();
    CHECK(toolkit.handed == std::vector<fs::path>{"/home/ana/agenda.vcf"});
    CHECK(toolkit.handedWithMainOpen == std::vector<bool>{true});
}

TEST_CASE("a file handed by a second start goes to the running main window, or is left to it")
{
    using forms::Window;
    struct Row {
        const char *state;
        bool taken;
        bool raised;
        bool importedAtOnce; // otherwise once the main window is up and no handler runs
    };
    const Row rows[] = {
        {"splash", true, false, false},
        {"main window", true, true, true},
        {"main window, inside a handler", true, true, false},
        {"main window closed, About open", false, false, false},
        {"ending", false, false, false},
    };
    for (const Row &row : rows) {
        CAPTURE(row.state);
        FakeProgramView toolkit;
        forms::Program program(toolkit);
        toolkit.program = &program;
        program.importOnStart("/home/ana/primero.vcf");
        program.start();
        const std::string state = row.state;
        const auto upToMain = [&] {
            program.run([&] {
                program.windowClosed(Window::Splash);
                program.handOver();
            });
        };
        if (state != "splash")
            upToMain();
        if (state == "main window closed, About open") {
            program.showAbout();
            program.windowClosed(Window::Personas);
        }
        if (state == "ending")
            program.quit();
        const std::size_t before = toolkit.handed.size();
        bool taken = false;
        if (state == "main window, inside a handler") {
            program.run([&] {
                taken = program.fileHanded("/tmp/segundo.vcf");
                CHECK(toolkit.handed.size() == before);
                // A view that got a file inside a modal loop gives it back.
                program.importWhenIdle("/tmp/devuelto.vcf");
                CHECK(toolkit.handed.size() == before);
            });
        } else {
            taken = program.fileHanded("/tmp/segundo.vcf");
        }
        CHECK(taken == row.taken);
        CHECK((toolkit.raised == std::vector<Window>{Window::Personas}) == row.raised);
        if (!row.taken) {
            CHECK(toolkit.handed.size() == before);
            continue;
        }
        std::vector<fs::path> wanted = {"/home/ana/primero.vcf", "/tmp/segundo.vcf"};
        if (state == "main window, inside a handler")
            wanted.emplace_back("/tmp/devuelto.vcf");
        if (row.importedAtOnce)
            CHECK(toolkit.handed == wanted);
        if (state == "splash") {
            CHECK(toolkit.handed.empty());
            upToMain();
        }
        CHECK(toolkit.handed == wanted);
        CHECK(std::all_of(toolkit.handedWithMainOpen.begin(), toolkit.handedWithMainOpen.end(), [](bool b) { return b; }));
    }
}

TEST_CASE("the hand-over's message reaches only a program for the same data file")
{
    Folder folder;
    fs::create_directory(folder / "otra");
    const fs::path data = forms::dataFileOf(folder.path());
    CHECK(data.is_absolute());
    // The same file however the folder is spelled.
    CHECK(forms::dataFileOf(folder / "otra" / "..") == data);
    CHECK(forms::handOverName(forms::dataFileOf(folder / "otra" / "..")) == forms::handOverName(data));
    const fs::path other = forms::dataFileOf(folder / "otra");
    CHECK(forms::handOverName(other) != forms::handOverName(data));
    CHECK(forms::handOverName(data).rfind("vorteda-", 0) == 0);
    CHECK(forms::handOverName(data).size() == 24);

    // Any name the system allows comes through as it was.
    std::vector<fs::path> files = {folder / "agenda.vcf", folder / fs::path(u8"Контакты") / fs::path(u8"Łódź 連絡先.vcf"),
                                   fs::path("relativo.csv")};
#ifndef _WIN32
    files.emplace_back(std::string("/tmp/l\xednea\nnueva\xff.vcf"));
#else
    files.emplace_back(std::wstring(L"C:\\medio\xd800.vcf"));
#endif
    for (const fs::path &file : files) {
        CAPTURE(file);
        const std::string message = forms::handOverMessage(data, file);
        const std::optional<fs::path> got = forms::handedFile(message, data);
        REQUIRE(got.has_value());
        CHECK(got->native() == file.native());
        CHECK_FALSE(forms::handedFile(message, other).has_value());
        // Cut short anywhere, or with more after it, it is not a message.
        for (std::size_t length = 0; length < message.size(); ++length)
            CHECK_FALSE(forms::handedFile(std::string_view(message).substr(0, length), data).has_value());
        CHECK_FALSE(forms::handedFile(message + "x", data).has_value());
    }
    CHECK_FALSE(forms::handedFile("GET / HTTP/1.0\r\n\r\n", data).has_value());
    CHECK_FALSE(forms::handedFile(forms::handOverMessage(data, fs::path()), data).has_value());
}

namespace {

std::string vcard(const char *given, const char *surname, const char *address, const char *telephone,
                  const char *email)
{
    return std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nN:") + surname + ";" + given + ";;;\r\nFN:" + given + " "
        + surname + "\r\nADR:;;" + address + ";;;;\r\nTEL:" + telephone + "\r\nEMAIL:" + email
        + "\r\nEND:VCARD\r\n";
}

const std::string kGomezCard = vcard("Ana", "Gómez", "Plaza Sol 3", "600333444", "ag@correo.es");
const std::string kAbrilCard = vcard("Luis", "Abril", "Avda. Paz 7", "600555666", "la@correo.es");

} // namespace

// Import from the window: the file chosen (or dropped), what the confirmation says,
// and personas.dat after. The data file is left out of order by "another copy" once
// the window has loaded, so that any write or reload would show in its bytes.
TEST_CASE("import from the window: confirmed, cancelled, refused, duplicates")
{
    // A record whose given name sorts after every other.
    const std::string kOdd(105, 'x');
    // A file that names twenty thousand things Vorteda keeps nowhere, one of them with
    // a name longer than any screen, and three hundred contacts too long to keep whole.
    std::string crowded = "BEGIN:VCARD\r\nN:Ruiz;Eva\r\nX-" + std::string(5000, 'A') + ":1\r\n";
    for (int i = 0; i < 20000; ++i)
        crowded += "X-P" + std::to_string(i) + ":v\r\n";
    crowded += "END:VCARD\r\n";
    for (int i = 0; i < 300; ++i)
        crowded += vcard("Eva", ("Apellido muy largo que no cabe " + std::to_string(i)).c_str(), "", "", "");
    struct Source {
        const char *name;
        std::string bytes;
    };
    const struct {
        const char *name;
        std::vector<Source> sources; // one: through the menu's dialog; more: dropped
        bool confirm;
        std::string after;          // personas.dat afterwards; empty: as it was
        std::vector<std::string> asked; // in each question, in turn
        std::vector<std::string> told;  // in each message, in turn
        bool otherCopyAdds = false;     // Gómez, while the question is up
    } rows[] = {
        {"confirmed: added, sorted, listed, told", {{"agenda.vcf", kGomezCard + kAbrilCard}}, true,
         recordsOf({kGomez, kAbril, kZapata}) + kOdd,
         {"agenda.vcf» (vCard)?\n\nSe añadirán 2 contactos nuevos.\n\nSon:\nGómez, Ana · Plaza Sol 3 · 600333444 · "
          "ag@correo.es\nAbril, Luis · Avda. Paz 7 · 600555666 · la@correo.es"},
         {"Se han añadido 2 contactos de «"}},
        {"cancelled: nothing written, nothing reloaded", {{"agenda.vcf", kGomezCard}}, false, "",
         {"Se añadirá 1 contacto nuevo."}, {}},
        {"duplicates counted and left out", {{"agenda.csv", "Apellido;Nombre\r\nRuiz;Eva\r\nSol;Bea\r\nRuiz;Eva\r\n"}},
         true, recordsOf({{"Sol", "Bea", "", "", ""}, {"Ruiz", "Eva", "", "", ""}, kZapata}) + kOdd,
         {"(CSV)?\n\nSe añadirán 2 contactos nuevos.\n1 contacto ya estaba y no se añadirá otra vez."},
         {"agenda.csv».\n1 contacto ya estaba en la lista y no se ha añadido otra vez."}},
        {"another copy added one meanwhile: the real counts", {{"agenda.vcf", kGomezCard + kAbrilCard}}, true,
         recordsOf({kGomez, kAbril, kZapata}) + kOdd, {"Se añadirán 2 contactos nuevos."},
         {"Se ha añadido 1 contacto de «\x01" "agenda.vcf».\n1 contacto ya estaba en la lista y no se ha añadido otra "
          "vez.\n\nLa lista de contactos cambió después de la pregunta"}, true},
        {"nothing new: told, no question", {{"agenda.vcf", vcard("Pedro", "Zapata", "Calle Mayor 1", "600111222", "pz@correo.es")}},
         true, "", {}, {"El contacto de «"}},
        {"not a contacts file: refused", {{"notas.txt", "hola\r\n"}}, true, "", {},
         {"No se pudieron importar los contactos.\n\n"}},
        {"no readable contact: refused", {{"rota.vcf", "BEGIN:VCARD\r\nN:c;d\r\n"}}, true, "", {},
         {"No se pudieron importar los contactos.\n\n"}},
        {"two files dropped: each asked in turn", {{"a.vcf", kGomezCard}, {"b.vcf", kAbrilCard}}, true,
         recordsOf({kGomez, kAbril, kZapata}) + kOdd, {"a.vcf» (vCard)?", "b.vcf» (vCard)?"},
         {"Se ha añadido 1 contacto de «", "Se ha añadido 1 contacto de «"}},
        {"a crowded file: the question within a screen", {{"mucho.vcf", crowded}}, false, "", {" más)"}, {}},
    };
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(recordsOf({kZapata}));
        Window window(folder);
        testfiles::TempFolder sources;
        std::vector<fs::path> paths;
        for (const Source &source : row.sources) {
            paths.push_back(sources.path() / source.name);
            writeBytes(paths.back(), source.bytes);
        }
        folder.write(kOdd + recordsOf({kZapata}));
        const std::string before = folder.read();
        const int loads = window.view.listLoads;
        window.view.answer = row.confirm;
        if (row.otherCopyAdds)
            window.view.onConfirm = [&] { contacts::ContactFile(platform::systemFileSystem(), folder.path()).append(kGomez); };
        if (paths.size() == 1) {
            window.view.toOpen = forms::ChosenFile{paths[0], 0};
            window.form.mnuImportar_Click();
            REQUIRE(window.view.dialogs.size() == 1);
            CHECK(window.view.dialogs[0].title == "Importar contactos");
            CHECK(window.view.dialogs[0].filters[0].name == "Contactos");
            CHECK(window.view.dialogs[0].filters[0].patterns == std::vector<std::string>{"*.vcf", "*.csv"});
        } else {
            window.form.Form_OLEDragDrop(paths);
        }
        REQUIRE(window.view.questions.size() == row.asked.size());
        for (std::size_t i = 0; i < row.asked.size(); ++i) {
            const std::string &question = window.view.questions[i];
            CAPTURE(question.substr(0, 4000));
            CHECK(question.find(row.asked[i]) != std::string::npos);
            CHECK(window.view.buttons == std::array<std::string, 2>{"Importar", "Cancelar"});
            // A screenful at most, whatever the file holds.
            CHECK(std::count(question.begin(), question.end(), '\n') <= 40);
            CHECK(question.size() <= 6000);
        }
        REQUIRE(window.view.messages.size() == row.told.size());
        for (std::size_t i = 0; i < row.told.size(); ++i) {
            CAPTURE(window.view.messages[i]);
            // Parts parted by \x01 are found in turn.
            std::size_t at = 0;
            for (std::size_t start = 0; start <= row.told[i].size();) {
                std::size_t end = row.told[i].find('\x01', start);
                if (end == std::string::npos)
                    end = row.told[i].size();
                at = window.view.messages[i].find(row.told[i].substr(start, end - start), at);
                CHECK(at != std::string::npos);
                if (at == std::string::npos)
                    break;
                start = end + 1;
            }
        }
        if (row.after.empty()) {
            CHECK(folder.read() == before);
            CHECK(window.view.listLoads == loads);
        } else {
            CHECK(folder.read() == row.after);
            CHECK(window.view.entries.size() == row.after.size() / 105);
            CHECK(window.view.listLoads > loads);
        }
    }
}

TEST_CASE("a command that reads or writes the file runs while the window waits; a file handed over meanwhile waits")
{
    const std::string kLoading = "Cargando la lista de contactos…";
    const struct {
        const char *name;
        void (*command)(Window &);
        std::vector<std::string> titles; // the command's own jobs, in turn
        std::vector<std::string> after;  // the list once the handed file is imported too
    } rows[] = {
        {"list load", [](Window &w) { w.form.cmdVerlista_Click(); }, {kLoading}, {"Gómez", "Zapata"}},
        {"add", [](Window &w) { w.view.fill({"Abril", "Luis", "", "", ""}); w.form.cmdAltas_Click(); },
         {"Agregando el contacto…", kLoading}, {"Gómez", "Abril", "Zapata"}},
        {"delete", [](Window &w) { w.view.click(w.form, 0); w.form.cmdBajas_Click(); },
         {"Eliminando el contacto…", kLoading}, {"Gómez"}},
        {"modify", [](Window &w) {
             w.view.click(w.form, 0);
             w.view.fill({"Abril", "Luis", "", "", ""});
             w.form.cmdModificar_Click();
         }, {"Modificando el contacto…", kLoading}, {"Gómez", "Abril"}},
    };
    testfiles::TempFolder sources;
    const fs::path card = sources.path() / "agenda.vcf";
    writeBytes(card, kGomezCard);
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(recordsOf({kZapata}));
        Window window(folder);
        CHECK(window.view.jobTitles == std::vector<std::string>{kLoading});
        window.view.jobTitles.clear();
        std::size_t askedMeanwhile = 99;
        window.view.duringJob = [&] {
            window.form.importFile(card);
            askedMeanwhile = window.view.questions.size();
        };
        row.command(window);
        REQUIRE(window.view.jobTitles.size() > row.titles.size());
        CHECK(std::vector<std::string>(window.view.jobTitles.begin(), window.view.jobTitles.begin()
                                                                          + static_cast<std::ptrdiff_t>(row.titles.size()))
              == row.titles);
        // Not while the command's file work was under way, but once it was done.
        CHECK(askedMeanwhile == 0);
        CHECK(window.view.questions.size() == 1);
        CHECK(window.view.entries == row.after);
        // The one message is the import's own account of what it added.
        REQUIRE(window.view.messages.size() == 1);
        CHECK(window.view.messages[0].starts_with("Se ha añadido 1 contacto de «"));
    }
}

namespace {

// Once armed, every read waits until released, as a read from a pipe or a share that
// hangs does: no flag the work checks can end it.
class HangingReadFileSystem : public FaultyFileSystem {
public:
    std::size_t read(contacts::FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override
    {
        std::unique_lock lock(m_mutex);
        m_hung += m_armed ? 1 : 0;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_armed; });
        lock.unlock();
        return FaultyFileSystem::read(file, offset, buffer, size);
    }
    void arm()
    {
        const std::lock_guard lock(m_mutex);
        m_armed = true;
    }
    void release()
    {
        const std::lock_guard lock(m_mutex);
        m_armed = false;
        m_changed.notify_all();
    }
    int hung() const
    {
        const std::lock_guard lock(m_mutex);
        return m_hung;
    }
    // Returns once a read hangs.
    void waitForHang()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_hung > 0; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_armed = false;
    int m_hung = 0;
};

} // namespace

TEST_CASE("import refused, failed or stopped: the message, and personas.dat as it was")
{
    const struct {
        const char *name;
        bool folderChosen; // a folder rather than a file
        bool missing;
        bool readOnly; // the data file cannot be written to
        bool stopped;  // "Cancelar" in the progress window, while a large file is read
        const char *says; // nullptr: nothing
        bool hangs = false; // "Salir" while the reading hangs in a read nothing interrupts
    } rows[] = {
        {"a folder", true, false, false, false, "es una carpeta, no un archivo; no se ha cambiado «"},
        {"a file that is not there", false, true, false, false, "no se puede abrir «"},
        {"a data file that cannot be written", false, false, true, false,
         "No se pudieron importar los contactos.\n\nNo se pudo"},
        {"the reading stopped", false, false, false, true, nullptr},
        {"Salir while a read never returns: the program ends at once", false, false, false, false, nullptr, true},
    };
    for (const auto &row : rows) {
        CAPTURE(std::string(row.name));
        Folder folder;
        folder.write(recordsOf({kZapata}));
        ReadOnlyDataFileSystem readOnly;
        HangingReadFileSystem hanging;
        Window window(folder, row.readOnly ? static_cast<contacts::FileSystem &>(readOnly)
                              : row.hangs  ? static_cast<contacts::FileSystem &>(hanging)
                                           : platform::systemFileSystem());
        if (row.hangs) {
            hanging.arm();
            window.view.onWait = [&] {
                hanging.waitForHang();
                window.form.mnuSalir_Click();
            };
            window.view.leaveJobs = true;
            window.onEndNow = [&] { hanging.release(); };
        }
        testfiles::TempFolder sources;
        fs::path chosen = sources.path() / (row.folderChosen ? "carpeta.vcf" : "agenda.vcf");
        if (row.folderChosen)
            fs::create_directory(chosen);
        else if (row.stopped) {
            std::string large;
            while (large.size() < (std::size_t(3) << 20))
                large += kGomezCard;
            writeBytes(chosen, large);
        } else if (!row.missing)
            writeBytes(chosen, kGomezCard);
        const std::string before = folder.read();
        window.view.toOpen = forms::ChosenFile{chosen, 0};
        window.view.cancelJobs = row.stopped;
        window.form.mnuImportar_Click();
        CHECK(window.view.questions.size() == (row.readOnly ? 1u : 0u)); // the write fails after "Importar"
        CHECK(window.exits == (row.hangs ? 1 : 0));
        CHECK(window.endsNow == (row.hangs ? 1 : 0));
        if (row.hangs)
            CHECK(hanging.hung() >= 1);
        if (row.says == nullptr) {
            CHECK(window.view.messages.empty());
        } else {
            REQUIRE(window.view.messages.size() == 1);
            CAPTURE(window.view.messages[0]);
            CHECK(window.view.messages[0].find(row.says) != std::string::npos);
        }
        CHECK(folder.read() == before);
    }
}

// Export: the format by the extension typed, else by the type chosen (whose extension
// a bare name gets); the short message; never over the contacts themselves.
TEST_CASE("export from the window: where, in which format, and what it says")
{
    const struct {
        const char *name;
        const char *typed; // in the save dialog; "personas.dat" is the data file itself
        int type;          // chosen: 0 vCard, 1 CSV
        const char *written;
        const char *begins; // the file written; nullptr: nothing written
        const char *message;
    } rows[] = {
        {"vCard by its extension, whatever the type", "agenda.vcf", 1, "agenda.vcf", "BEGIN:VCARD\r\nVERSION:3.0",
         "Se han exportado 2 contactos a «"},
        {"capitals in the extension", "AGENDA.CSV", 0, "AGENDA.CSV", "\xEF\xBB\xBF", "(CSV)."},
        {"no extension: the type chosen gives it", "agenda", 1, "agenda.csv", "\xEF\xBB\xBF", "agenda.csv» (CSV)."},
        {"another extension is kept", "agenda.txt", 0, "agenda.txt", "BEGIN:VCARD", "(vCard 3.0)."},
        {"the data file itself is refused", "personas.dat", 0, nullptr, nullptr,
         "No se pudieron exportar los contactos.\n\n«"},
    };
    for (const auto &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(recordsOf({kGomez, kAbril}));
        Window window(folder);
        const std::string before = folder.read();
        testfiles::TempFolder out;
        const fs::path typed = std::string(row.typed) == "personas.dat" ? folder.data() : out.path() / row.typed;
        window.view.toSave = forms::ChosenFile{typed, row.type};
        window.form.mnuExportar_Click();
        REQUIRE(window.view.dialogs.size() == 1);
        CHECK(window.view.dialogs[0].title == "Exportar contactos");
        REQUIRE(window.view.messages.size() == 1);
        CAPTURE(window.view.messages[0]);
        CHECK(window.view.messages[0].find(row.message) != std::string::npos);
        CHECK(folder.read() == before);
        if (row.written != nullptr) {
            const std::string text = readBytes(out.path() / row.written);
            CHECK(text.starts_with(row.begins));
            CHECK(text.find("Abril") != std::string::npos);
        } else {
            CHECK(fs::is_empty(out.path()));
        }
    }
}

TEST_CASE("Acerca... opens one About window and brings it forward after")
{
    FakeProgramView toolkit;
    forms::Program program(toolkit);
    toolkit.program = &program;
    program.windowOpened(forms::Window::Personas); // where "Acerca..." is chosen
    program.showAbout();
    program.showAbout();
    CHECK(toolkit.opened == std::vector<forms::Window>{forms::Window::About});
    CHECK(toolkit.raised == std::vector<forms::Window>{forms::Window::About});
    program.windowClosed(forms::Window::About);
    program.showAbout();
    CHECK(toolkit.opened.size() == 2);
}

TEST_CASE("an unexpected error is told and the program goes on")
{
    FakeProgramView toolkit;
    forms::Program program(toolkit);
    toolkit.program = &program;
    program.run([&] { toolkit.openWindow(forms::Window::Personas); });
    try {
        program.run([] { throw std::runtime_error("broken"); });
    } catch (...) {
        program.unexpectedError(std::current_exception());
    }
    REQUIRE(toolkit.messages.size() == 1);
    CHECK(toolkit.messages[0].find("broken") != std::string::npos);
    CHECK(toolkit.loopEnds == 0);
    CHECK_FALSE(program.handlerRunning());
}

namespace {

class RecordingLauncher : public platform::Launcher {
public:
    bool isOrdinaryFile(const std::string &) override { return false; }
    void start(const std::string &commandLine, int) override
    {
        started.push_back(commandLine);
        if (commandLine.empty())
            throw std::runtime_error("nothing to start");
    }
    std::vector<std::string> started;
};

} // namespace

TEST_CASE("the About window: version, OK, and System Info")
{
    platform::TableRegistry registry;
    RecordingLauncher launcher;
    FakeAboutView view;
    forms::frmAbout about(view, registry, launcher);
    about.Form_Load();
    CHECK(view.version == "Versión " + testversion::majorMinor());

    about.cmdSysInfo_Click();
    CHECK(view.messages == std::vector<std::string>{platform::kSysInfoUnavailable});
    CHECK(view.closes == 0);

    registry.setString(platform::kHKeyLocalMachine, platform::kMsinfoKey, platform::kMsinfoPathValue, "C:\\msinfo32.exe");
    about.cmdSysInfo_Click();
    CHECK(launcher.started == std::vector<std::string>{"C:\\msinfo32.exe"});
    CHECK(view.messages.size() == 1);

    about.cmdOK_Click();
    CHECK(view.closes == 1);
}
