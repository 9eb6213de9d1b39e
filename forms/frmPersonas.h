#pragma once

#include "contacts/ContactFile.h"
#include "exchange/Import.h"
#include "forms/Job.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace contacts {
class FileError;
}

namespace forms {

// What a file dialog offers: its title, the folder it opens in (empty: the system's
// choice), the name it suggests (save only) and its filters, the first one chosen.
struct FileFilter {
    std::string name;                  // "Contactos"
    std::vector<std::string> patterns; // "*.vcf", "*.csv"
};
struct FileDialog {
    std::string title;
    std::filesystem::path folder;
    std::string suggestedName;
    std::vector<FileFilter> filters;
};
// What the user chose in it: the file, and the filter chosen when the dialog closed.
struct ChosenFile {
    std::filesystem::path path;
    int filter = 0;
};

// The first of `entries` that begins with `prefix`, byte by byte, or -1: the search
// over a list of UTF-8 texts, whichever view holds them.
int firstWithPrefix(const std::vector<std::string> &entries, std::string_view prefix);

// What the contacts window's behaviour needs from a window on the screen. Texts are
// UTF-8. Setting the list's index from here never calls back: the behaviour runs
// List1_Click itself, as a classic list box raises its Click event for code too.
class PersonasView {
public:
    virtual ~PersonasView() = default;

    virtual void setCaption(const std::string &caption) = 0;
    virtual std::string text1(int index) const = 0;
    virtual void setText1(int index, const std::string &text) = 0;
    virtual std::string searchText() const = 0;
    // Replaces every entry of List1 (the selection becomes -1). The list keeps the
    // entries, as a list box does; nothing else holds a copy.
    virtual void setListEntries(std::vector<std::string> entries) = 0;
    // The first entry, in list order, that begins with `prefix` (compared byte by
    // byte, which for UTF-8 is code point by code point), or -1.
    // A view that holds its entries as UTF-8 answers with firstWithPrefix().
    virtual int findListEntry(std::string_view prefix) const = 0;
    // The text of entry `index` (0 .. count - 1).
    virtual std::string listEntry(int index) const = 0;
    virtual int listIndex() const = 0;
    virtual void setListIndex(int index) = 0;
    // A modal message, titled with the product's name.
    virtual void showMessage(const std::string &text) = 0;

    // The system's modal file dialogs; nothing when the user cancels. The save dialog
    // adds the chosen filter's extension to a name typed without one, and asks
    // before it replaces a file.
    virtual std::optional<ChosenFile> chooseFileToOpen(const FileDialog &dialog) = 0;
    virtual std::optional<ChosenFile> chooseFileToSave(const FileDialog &dialog) = 0;
    // A modal question, titled with the product's name, with `accept` as the default
    // button and `cancel`; true when the user accepts.
    virtual bool confirm(const std::string &text, const std::string &accept, const std::string &cancel) = 0;
    // Returns once `job` has ended, or once the program is ending (its event loop told
    // to end). Meanwhile the window keeps answering but takes no command, and from a
    // moment after the start it shows the job's title, how far it is and, when it has
    // one, the button that cancels it; once that is pressed the window is the user's
    // again while the job winds down.
    virtual void waitFor(Job &job) = 0;
};

// What the window asks of the rest of the program.
struct PersonasActions {
    std::function<void()> showAbout; // "Acerca..." or F1
    std::function<void()> exit;      // "Salir" or F4
    // Ends the process at once, without waiting for anything: for a program that is
    // ending while a file it only reads holds a thread in a read that never returns.
    std::function<void()> endNow;
};

// The contacts window: the five fields of one contact, the editing commands, the
// search box and the list of surnames. The list shows the data file in file order,
// so list entry i is record i + 1; every command that changes the file ends by
// reloading the list. A file error ends the command with a message; the list is
// reloaded from the file when possible and the program goes on.
class frmPersonas {
public:
    // `folder` holds "personas.dat".
    frmPersonas(PersonasView &view, contacts::FileSystem &fs, const std::filesystem::path &folder,
                PersonasActions actions);

    // "Vorteda 1.3": what Form_Load puts in the caption, for a view that shows the
    // window before it loads.
    static std::string caption();

    // The view calls these when the user acts.
    void Form_Load();
    void cmdVerlista_Click();
    void List1_Click();
    void cmdAltas_Click();
    void cmdBajas_Click();
    void cmdModificar_Click();
    void cmdLimpiar_Click();
    void mnuImportar_Click();
    void mnuExportar_Click();
    void mnuSalir_Click();
    void mnuAbout_Click();
    void txtBusqueda_Change();
    // Files dropped on the window, imported one after the other.
    void Form_OLEDragDrop(const std::vector<std::filesystem::path> &files);

    // Imports `file` after the user has seen what it holds and confirmed: read (the
    // window answering meanwhile), nothing written for a refused file or a "Cancelar";
    // one atomic rewrite of the data file, then the list load. Also what a file handed
    // to the program comes to.
    void importFile(const std::filesystem::path &file);

private:
    // An entry of the list as the user chose it: its surname, and how many entries
    // before it have the same one.
    struct Choice {
        std::string surname;
        int rank = 0;
    };

    std::vector<std::string> OrdenarArchivo(contacts::FileStamp *listed);
    // The list load; after a failed command it reloads without a second message.
    // With `keep`, the entry that stands for it in the new list is chosen (without
    // List1_Click); returns its index, or -1 when there is none.
    int loadList(bool reportErrors, const Choice *keep = nullptr);
    Choice choiceAt(int index) const;
    // Reads the chosen entry's record into m_shownRecord, and shows its fields when
    // `show`. When the file has changed since the list was loaded, the entry may
    // stand for another record by now: the list is loaded again first, with the same
    // contact chosen, or none (and the fields emptied when `show`) when it is gone.
    // False when nothing was read, the chosen contact being gone or the file failing.
    bool readChosen(bool show);
    // Before a command acts on the chosen entry: true when the list still shows the
    // file. Otherwise nothing may be done: the list is loaded again with the same
    // contact chosen (its fields shown when `show`), and the user is told.
    bool listStillShowsFile(const char *failure, bool show);
    void setListIndex(int index);
    contacts::Persona fieldsAsPersona() const;
    void clearFields();
    void reportChangedRecord();
    bool runCommand(const char *failure, const std::function<void()> &command);
    // The list load after a failed command, without a message.
    bool tryQuietly(const std::function<void()> &command);
    // How long work asked to stop as the program ends may take before it is left behind.
    static constexpr int kStopWait = 500;
    // Runs `work` as a Job the view waits for; false when the user cancelled it, or
    // when the program ended meanwhile.
    bool runJob(const std::string &title, bool cancellable, const std::function<void(Job &)> &work);
    // A job that reads or writes the data file, which every command that may take a
    // moment (a list load, an add, a delete, a modify, an import or export) is: the
    // window answers meanwhile and shows its progress after a moment. A file error is
    // told once it has ended. False when it failed.
    bool runFileJob(const std::string &title, const char *failure, const std::function<void()> &work);
    void rememberFolder(const std::filesystem::path &file);

    PersonasView &m_view;
    contacts::ContactFile m_file;
    PersonasActions m_actions;
    // The record as last shown for the selected entry; every change of the selection
    // goes through List1_Click, which sets it. A command checks that the record is
    // still this one: a mismatch means the file changed under us, so nothing is removed.
    std::optional<contacts::Record> m_shownRecord;
    // Which state of the data file the list shows; none when that is not known.
    std::optional<contacts::FileStamp> m_listed;
    // An import or export is under way: a dropped or handed file waits its turn.
    bool m_exchanging = false;
    // Jobs under way; a file handed over meanwhile waits for them too.
    int m_working = 0;
    std::vector<std::filesystem::path> m_waiting;
    // Where the last import or export went, for the next dialog.
    std::filesystem::path m_lastFolder;
    // The last command failed because another copy held the file.
    bool m_lockHeld = false;
};

// Where an export goes and in which format: a name ending in .vcf or .csv says the
// format; any other takes the type chosen in the dialog, and a name without an
// extension gets that type's.
struct ExportTarget {
    std::filesystem::path path;
    exchange::Format format;
};
ExportTarget exportTarget(const ChosenFile &chosen);

} // namespace forms
