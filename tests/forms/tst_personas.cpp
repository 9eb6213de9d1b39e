// The contacts editor through a fake view: the list, the selection, add, delete,
// modify, clear, the search and a failing file step; the same cases on Linux and,
// cross-built, under Wine, over each platform's file layer.
#include <doctest/doctest.h>

#include "tests/forms/FormsSupport.h"


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
        // A keystroke that keeps the same contact (or none) rewrites no field, each
        // of which a window would draw again.
        window.view.fieldWrites = 0;
        window.view.type(window.form, row.search);
        CHECK(window.view.selected == row.index);
        CHECK(window.view.fieldWrites == 0);
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

TEST_CASE("the menus ask the program for the About window and the end")
{
    Folder folder;
    Window window(folder);
    window.form.mnuAbout_Click();
    window.form.mnuSalir_Click();
    CHECK(window.abouts == 1);
    CHECK(window.exits == 1);
}
