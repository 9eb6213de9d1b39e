// The contacts window's import and export: the file chosen or dropped, the question,
// the one rewrite, the files that wait their turn, and what a refused, failed or
// stopped import leaves.
#include <doctest/doctest.h>

#include "tests/forms/FormsSupport.h"

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
    // Long enough to be stopped while it is read.
    std::string large;
    while (large.size() < (std::size_t(3) << 20))
        large += kGomezCard;
    // How the files come: one through the menu's dialog, more dropped; or dropped
    // while the window is busy with the first (whose reading is then stopped), or with
    // an export.
    enum class Way { ChosenOrDropped, DroppedWhileFirstIsRead, DroppedWhileExporting };
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
        Way way = Way::ChosenOrDropped;
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
        {"a file dropped while another is read, whose reading is stopped: imported after it",
         {{"grande.vcf", large}, {"b.vcf", kAbrilCard}}, true, recordsOf({kAbril, kZapata}) + kOdd,
         {"b.vcf» (vCard)?"}, {"Se ha añadido 1 contacto de «"}, false, Way::DroppedWhileFirstIsRead},
        {"a file dropped during an export: imported after it", {{"a.vcf", kGomezCard}}, true,
         recordsOf({kGomez, kZapata}) + kOdd, {"a.vcf» (vCard)?"},
         {"Se han exportado 2 contactos a «", "Se ha añadido 1 contacto de «"}, false, Way::DroppedWhileExporting},
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
        if (row.way == Way::DroppedWhileExporting) {
            window.view.toSave = forms::ChosenFile{sources.path() / "copia.vcf", 0};
            window.view.duringJob = [&] { window.form.Form_OLEDragDrop(paths); };
            window.form.mnuExportar_Click();
        } else if (paths.size() == 1 || row.way == Way::DroppedWhileFirstIsRead) {
            window.view.toOpen = forms::ChosenFile{paths[0], 0};
            if (row.way == Way::DroppedWhileFirstIsRead) {
                window.view.cancelNextJob = true;
                window.view.duringJob = [&] { window.form.Form_OLEDragDrop({paths.begin() + 1, paths.end()}); };
            }
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

// The program's one queue: a file handed over by another start and a file dropped,
// while the read of a chosen file is under way; the read is stopped, and both are
// imported afterwards, in the order they came, each as a handler of its own.
TEST_CASE("files handed over and dropped during a read wait in the program's queue, in the order they came")
{
    testfiles::TempFolder sources;
    std::string large;
    while (large.size() < (std::size_t(3) << 20))
        large += kGomezCard;
    const fs::path grande = sources.path() / "grande.vcf";
    const fs::path handed = sources.path() / "dado.vcf";
    const fs::path dropped = sources.path() / "soltado.vcf";
    writeBytes(grande, large);
    writeBytes(handed, kAbrilCard);
    writeBytes(dropped, kGomezCard);
    Folder folder;
    folder.write(recordsOf({kZapata}));
    FakeProgramView toolkit;
    forms::Program program(toolkit);
    toolkit.program = &program;
    program.start();
    program.run([&] {
        program.windowClosed(forms::Window::Splash);
        program.handOver();
    });
    Window window(folder, platform::systemFileSystem(), &program);
    window.view.toOpen = forms::ChosenFile{grande, 0};
    window.view.cancelNextJob = true;
    window.view.duringJob = [&] {
        CHECK(program.fileHanded(handed));
        window.form.Form_OLEDragDrop({dropped});
    };
    program.run([&] { window.form.mnuImportar_Click(); });
    CHECK(window.view.questions.empty());
    REQUIRE(toolkit.handed == std::vector<fs::path>{handed, dropped});
    // The view's end: each file as the window gets it.
    for (const fs::path &file : toolkit.handed) {
        program.importArrived(file, [&](const fs::path &arrived) {
            CHECK(program.handlerRunning());
            window.form.importFile(arrived);
        });
    }
    REQUIRE(window.view.questions.size() == 2);
    CHECK(window.view.questions[0].find("dado.vcf» (vCard)?") != std::string::npos);
    CHECK(window.view.questions[1].find("soltado.vcf» (vCard)?") != std::string::npos);
    CHECK(folder.read() == recordsOf({kGomez, kAbril, kZapata}));
    CHECK(toolkit.handed.size() == 2);
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
