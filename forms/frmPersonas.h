#pragma once

#include "contacts/ContactFile.h"
#include "forms/ImportExport.h"
#include "forms/ImportQueue.h"
#include "forms/JobRunner.h"
#include "forms/PersonasView.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace forms {

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
// reloaded from the file when possible and the program goes on. The menu's import
// and export, and the files dropped or handed to it, are ImportExport's.
class frmPersonas {
public:
    // `folder` holds "personas.dat"; `queue` is where dropped and handed files wait
    // while the window is busy (the program's).
    frmPersonas(PersonasView &view, contacts::FileSystem &fs, const std::filesystem::path &folder, ImportQueue &queue,
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

    // A file handed to the program: its import (ImportExport::importFile).
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
    // A field that already shows `text` is left alone: typing in the search box
    // that keeps the same contact (or none) redraws no field.
    void showText1(int index, const std::string &text);
    void clearFields();
    void reportChangedRecord();

    PersonasView &m_view;
    contacts::ContactFile m_file;
    PersonasActions m_actions;
    // The record as last shown for the selected entry; every change of the selection
    // goes through List1_Click, which sets it. A command checks that the record is
    // still this one: a mismatch means the file changed under us, so nothing is removed.
    std::optional<contacts::Record> m_shownRecord;
    // Which state of the data file the list shows; none when that is not known.
    std::optional<contacts::FileStamp> m_listed;
    JobRunner m_jobs;
    ImportExport m_exchange;
};

} // namespace forms
