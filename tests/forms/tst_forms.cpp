// What the three windows do, driven through fake views: the same cases on Linux and,
// cross-built, under Wine, over each platform's file layer.
#include <doctest/doctest.h>

#include "platform/SystemFileSystem.h"
#include "tests/FaultyFileSystem.h"
#include "tests/forms/FakeViews.h"
#include "tests/RecordFiles.h"
#include "tests/TempFolder.h"
#include "tests/VersionTexts.h"
#include "contacts/ContactFile.h"
#include "platform/Launcher.h"
#include "platform/SysInfo.h"
#include "platform/TableRegistry.h"
#include "version/Version.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <stdexcept>

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
        : form(view, files, folder.path(), {[this] { ++abouts; }, [this] { ++exits; }})
    {
        form.Form_Load();
    }

    FakePersonasView view;
    int abouts = 0;
    int exits = 0;
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
        CHECK(program.swallowsKey('a', forms::KeyEvent::Repeat) == byKey);
        CHECK(program.swallowsKey('b', forms::KeyEvent::Release) == false);
        CHECK(program.swallowsKey('a', forms::KeyEvent::Release) == byKey);
        CHECK(program.swallowsKey('a', forms::KeyEvent::Release) == false);
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
