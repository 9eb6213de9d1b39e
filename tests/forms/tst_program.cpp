// The program beyond its windows: when it ends, the hand-over from the splash, files
// handed to it or to another start, "Acerca..." and an unexpected error.
#include <doctest/doctest.h>

#include "tests/forms/FormsSupport.h"

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
