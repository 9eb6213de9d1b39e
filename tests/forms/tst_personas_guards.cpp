// The contacts editor over a file it may not write, one another copy holds or has
// changed behind the list: nothing is lost, nothing is acted on by mistake.
#include <doctest/doctest.h>

#include "tests/forms/FormsSupport.h"

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
