// What the three windows do, driven through fake views: the same cases on Linux and,
// cross-built, under Wine, over each platform's file layer.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest.h>

#include "tests/FaultyFileSystem.h"
#include "tests/forms/FakeViews.h"
#include "contacts/ContactFile.h"
#include "platform/Launcher.h"
#include "platform/SysInfo.h"
#include "platform/TableRegistry.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>

using contacts::Persona;
namespace fs = std::filesystem;

namespace {

const Persona kZapata{"Zapata", "Pedro", "Calle Mayor 1", "600111222", "pz@correo.es"};
const Persona kGomez{"G\xC3\xB3mez", "Ana", "Plaza Sol 3", "600333444", "ag@correo.es"};
const Persona kAbril{"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"};

std::string records(std::initializer_list<Persona> personas)
{
    std::string bytes;
    for (const Persona &persona : personas) {
        const contacts::Record record = contacts::encode(persona);
        bytes.append(record.begin(), record.end());
    }
    return bytes;
}

// A program folder of its own, removed afterwards.
class Folder {
public:
    Folder()
    {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        m_path = fs::temp_directory_path() / ("vorteda-forms-" + std::to_string(stamp) + "-" + std::to_string(++counter));
        fs::create_directories(m_path);
    }
    ~Folder()
    {
        std::error_code ignored;
        fs::permissions(data(), fs::perms::owner_all, ignored);
        fs::remove_all(m_path, ignored);
    }
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;

    const fs::path &path() const { return m_path; }
    fs::path data() const { return m_path / contacts::kDataFileName; }
    bool hasData() const { return fs::exists(data()); }
    std::string read() const
    {
        std::ifstream in(data(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::string &bytes) const
    {
        std::ofstream(data(), std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    fs::path m_path;
};

// One contacts window over a folder, loaded.
struct Window {
    explicit Window(const Folder &folder, contacts::FileSystem &files = contacts::systemFileSystem())
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

TEST_CASE("loading the contacts window")
{
    SUBCASE("no data file: the caption, an empty list, and an empty file afterwards")
    {
        Folder folder;
        Window window(folder);
        CHECK(window.view.caption == "Vorteda 1.3");
        CHECK(window.view.entries.empty());
        CHECK(window.view.selected == -1);
        CHECK(folder.hasData());
        CHECK(folder.read().empty());
        CHECK(window.view.messages.empty());
    }
    SUBCASE("surnames in given-name order, and the file itself sorted")
    {
        Folder folder;
        folder.write(records({kZapata, kGomez, kAbril}));
        Window window(folder);
        CHECK(window.view.entries == std::vector<std::string>{"G\xC3\xB3mez", "Abril", "Zapata"});
        CHECK(folder.read() == records({kGomez, kAbril, kZapata}));
    }
}

TEST_CASE("selecting an entry shows its trimmed fields")
{
    struct Row {
        const char *name;
        std::string file;
        int index;
        std::array<std::string, 5> fields;
    };
    const Row rows[] = {
        {"Abril shows the Luis record", records({kZapata, kGomez, kAbril}), 1,
         {"Abril", "Luis", "Avda. Paz 7", "600555666", "la@correo.es"}},
        {"leading spaces are trimmed", records({{"   Ruiz", "  Eva", " Sur 2", " 1", "  e@x.es"}}), 0,
         {"Ruiz", "Eva", "Sur 2", "1", "e@x.es"}},
        {"an empty surname can be selected", records({{"", "Zoe", "", "", ""}, kAbril}), 1, {"", "Zoe", "", "", ""}},
    };
    for (const Row &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(row.file);
        Window window(folder);
        window.view.click(window.form, row.index);
        CHECK(window.view.fields == row.fields);
    }
}

TEST_CASE("the editing commands change the file exactly as designed")
{
    // Each row starts from Zapata, Gómez, Abril (sorted on load to Gómez, Abril,
    // Zapata), selects an entry (-1: none), fills the fields, runs one command.
    struct Row {
        const char *name;
        int select;
        std::array<std::string, 5> typed; // empty: leave the fields as they are
        void (forms::frmPersonas::*command)();
        std::string file;
        std::vector<std::string> entries;
        bool fieldsEmpty;
    };
    const std::array<std::string, 5> ruiz{"Ruiz", "Eva", "Sur 2", "611", "e@x.es"};
    const Persona kRuiz{"Ruiz", "Eva", "Sur 2", "611", "e@x.es"};
    const Row rows[] = {
        {"add with all fields empty lists a blank line first", -1, {"", "", "", "", ""},
         &forms::frmPersonas::cmdAltas_Click, records({{}, kGomez, kAbril, kZapata}),
         {"", "G\xC3\xB3mez", "Abril", "Zapata"}, true},
        {"add sorts the new contact into its given-name place", -1, ruiz, &forms::frmPersonas::cmdAltas_Click,
         records({kGomez, kRuiz, kAbril, kZapata}), {"G\xC3\xB3mez", "Ruiz", "Abril", "Zapata"}, true},
        {"delete removes the selected record and keeps the fields", 2, {}, &forms::frmPersonas::cmdBajas_Click,
         records({kGomez, kAbril}), {"G\xC3\xB3mez", "Abril"}, false},
        {"delete without selection changes nothing", -1, {}, &forms::frmPersonas::cmdBajas_Click,
         records({kGomez, kAbril, kZapata}), {"G\xC3\xB3mez", "Abril", "Zapata"}, true},
        {"modify moves the contact to its new place", 1, ruiz, &forms::frmPersonas::cmdModificar_Click,
         records({kGomez, kRuiz, kZapata}), {"G\xC3\xB3mez", "Ruiz", "Zapata"}, true},
        {"modify without selection adds", -1, ruiz, &forms::frmPersonas::cmdModificar_Click,
         records({kGomez, kRuiz, kAbril, kZapata}), {"G\xC3\xB3mez", "Ruiz", "Abril", "Zapata"}, true},
        {"clear empties the fields and keeps the selection for a delete", 0, {},
         &forms::frmPersonas::cmdLimpiar_Click, records({kGomez, kAbril, kZapata}),
         {"G\xC3\xB3mez", "Abril", "Zapata"}, true},
    };
    for (const Row &row : rows) {
        CAPTURE(row.name);
        Folder folder;
        folder.write(records({kZapata, kGomez, kAbril}));
        Window window(folder);
        if (row.select >= 0)
            window.view.click(window.form, row.select);
        if (!row.typed[0].empty() || row.command == &forms::frmPersonas::cmdAltas_Click)
            window.view.fill(row.typed);
        (window.form.*row.command)();
        CHECK(folder.read() == row.file);
        CHECK(window.view.entries == row.entries);
        CHECK((window.view.fields == std::array<std::string, 5>{}) == row.fieldsEmpty);
        CHECK(window.view.messages.empty());
        if (row.command == &forms::frmPersonas::cmdLimpiar_Click) {
            CHECK(window.view.selected == row.select);
            window.form.cmdBajas_Click();
            CHECK(folder.read() == records({kAbril, kZapata}));
        }
    }
}

TEST_CASE("the search selects the first entry in list order that begins with the text")
{
    const struct {
        const char *typed;
        int selected;
    } rows[] = {
        {"", 0},          {"G\xC3\xB3", 0}, {"g\xC3\xB3", -1}, {"Gomez", -1},
        {"Zap", 2},       {"A", 1},         {"Zapata y m\xC3\xA1s", -1},
    };
    Folder folder;
    folder.write(records({kZapata, kGomez, kAbril}));
    Window window(folder);
    for (const auto &row : rows) {
        CAPTURE(row.typed);
        window.view.type(window.form, row.typed);
        CHECK(window.view.selected == row.selected);
        // The selection handler ran: the fields show the match, or nothing.
        CHECK(window.view.fields[0] == (row.selected >= 0 ? window.view.entries[static_cast<std::size_t>(row.selected)] : ""));
    }
    Folder empty;
    Window none(empty);
    none.view.type(none.form, "");
    CHECK(none.view.selected == -1);
}

TEST_CASE("a failed file step leaves the file as it was and the program goes on")
{
    Folder folder;
    folder.write(records({kGomez, kAbril, kZapata}));
    FaultyFileSystem files;
    Window window(folder, files);
    window.view.fill({"Ruiz", "Eva", "Sur 2", "611", "e@x.es"});
    files.reset();
    files.failAt(1);
    window.form.cmdAltas_Click();
    REQUIRE(window.view.messages.size() == 1);
    CHECK(window.view.messages[0].starts_with("No se pudo agregar el contacto.\n\nNo se pudo "));
    CHECK(window.view.messages[0].find("Error del sistema: ") != std::string::npos);
    CHECK(folder.read() == records({kGomez, kAbril, kZapata}));
    // What the user typed is still there, and the list still matches the file.
    CHECK(window.view.fields[0] == "Ruiz");
    CHECK(window.view.entries.size() == 3);
    window.form.cmdAltas_Click();
    CHECK(folder.read() == records({kGomez, {"Ruiz", "Eva", "Sur 2", "611", "e@x.es"}, kAbril, kZapata}));
}

TEST_CASE("a record changed by another copy of the program is not deleted")
{
    Folder folder;
    folder.write(records({kGomez, kAbril, kZapata}));
    Window window(folder);
    window.view.click(window.form, 1);
    folder.write(records({kGomez, kZapata, kAbril}));
    window.form.cmdBajas_Click();
    REQUIRE(window.view.messages.size() == 1);
    CHECK(window.view.messages[0].starts_with("El contacto seleccionado ya no es el que se muestra"));
    CHECK(folder.read() == records({kGomez, kAbril, kZapata}));
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
        FakeSplashView view;
        int handOvers = 0;
        int closesSeenByHandOver = -1;
        forms::frmSplash splash(view, [&] {
            ++handOvers;
            closesSeenByHandOver = view.closes;
        });
        splash.Form_Load();
        CHECK(view.version == "Version 1.3.3");
        CHECK(view.timer == 1500);
        if (byKey)
            splash.Form_KeyPress();
        else
            splash.Timer1_Timer();
        splash.Form_KeyPress();
        splash.Timer1_Timer();
        CHECK(handOvers == 1);
        CHECK(closesSeenByHandOver == 1);
        CHECK(view.closes == 1);
        CHECK(view.timer == 0);
    }
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
    CHECK(view.version == "Versi\xC3\xB3n 1.3");

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
