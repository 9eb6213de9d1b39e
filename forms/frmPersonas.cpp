#include "forms/frmPersonas.h"

#include "wording/FileMessages.h"
#include "wording/Messages.h"

#include "version/Version.h"

#include <array>
#include <utility>

namespace forms {

namespace {

// The five stored fields of `record`, trimmed, as the list and the fields show them.
std::array<std::string, 5> shownFields(const contacts::Record &record)
{
    const contacts::Persona persona = contacts::decode(record);
    std::array<std::string, 5> fields;
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = std::string(contacts::trimSpaces(contacts::field(persona, i)));
    return fields;
}

} // namespace

int firstWithPrefix(const std::vector<std::string> &entries, std::string_view prefix)
{
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (std::string_view(entries[i]).starts_with(prefix))
            return static_cast<int>(i);
    }
    return -1;
}

frmPersonas::frmPersonas(PersonasView &view, contacts::FileSystem &fs, const std::filesystem::path &folder,
                         ImportQueue &queue, PersonasActions actions)
    : m_view(view), m_file(fs, folder), m_actions(std::move(actions)), m_jobs(view, [this] {
          if (m_actions.endNow)
              m_actions.endNow();
      }),
      m_exchange(view, m_file, m_jobs, queue, [this] { cmdVerlista_Click(); })
{
}

std::string frmPersonas::caption()
{
    return std::string(version::kProductName) + " " + std::to_string(version::kMajor) + "."
           + std::to_string(version::kMinor);
}

void frmPersonas::Form_Load()
{
    m_view.setCaption(caption());
    cmdVerlista_Click();
}

std::vector<std::string> frmPersonas::OrdenarArchivo(contacts::FileStamp *listed)
{
    return m_file.sortAndList(listed);
}

void frmPersonas::cmdVerlista_Click()
{
    loadList(true);
}

int frmPersonas::loadList(bool reportErrors, const Choice *keep)
{
    std::vector<std::string> entries;
    contacts::FileStamp listed;
    m_listed.reset();
    // After a command that found another copy saving, sorting would only wait for it
    // again: the file is listed as it stands.
    const bool sorted = reportErrors ? m_jobs.runFile(wording::kLoadingList, wording::kLoadFailed,
                                                      [&] { entries = OrdenarArchivo(&listed); })
                        : m_jobs.lockHeld() ? false
                                            : m_jobs.quietly([&] { entries = OrdenarArchivo(&listed); });
    if (sorted) {
        m_listed = listed;
    } else {
        // The file is as it was; list it in its present order so that the list still
        // matches the records.
        if (m_jobs.quietly([&] { entries = m_file.list(&listed); }))
            m_listed = listed;
        else
            entries.clear();
    }
    int chosen = -1;
    if (keep) {
        // Of equal surnames, the one with as many of its name before it as before.
        int seen = 0;
        for (std::size_t i = 0; i < entries.size() && chosen < 0; ++i) {
            if (entries[i] == keep->surname && seen++ == keep->rank)
                chosen = static_cast<int>(i);
        }
    }
    m_shownRecord.reset();
    m_view.setListEntries(std::move(entries));
    if (chosen >= 0)
        m_view.setListIndex(chosen);
    // A file handed over while the file was being read or written, in its turn; not
    // while a contact is being chosen again, whose place an import would move.
    if (!keep)
        m_exchange.importWaiting();
    return chosen;
}

frmPersonas::Choice frmPersonas::choiceAt(int index) const
{
    Choice choice{m_view.listEntry(index), 0};
    for (int i = 0; i < index; ++i) {
        if (m_view.listEntry(i) == choice.surname)
            ++choice.rank;
    }
    return choice;
}

void frmPersonas::setListIndex(int index)
{
    m_view.setListIndex(index);
    List1_Click();
}

void frmPersonas::List1_Click()
{
    if (m_view.listIndex() < 0) {
        m_shownRecord.reset();
        clearFields();
        return;
    }
    readChosen(true);
}

bool frmPersonas::readChosen(bool show)
{
    // Another copy that keeps writing gets a few more loads, then nothing is chosen.
    constexpr int kMaxReloads = 3;
    m_shownRecord.reset();
    int index = m_view.listIndex();
    std::optional<contacts::Record> record;
    for (int reloads = 0;; ++reloads) {
        contacts::FileStamp from;
        if (!m_jobs.command(wording::kReadFailed, [&] { record = m_file.read(index, &from); }))
            return false;
        // Read through the same handle as its stamp: the record is the entry's own
        // when the file is still the one listed. A file that has gone (its folder
        // with it, perhaps) has no record to show, and nothing to list again.
        if (!from.exists || (m_listed && from == *m_listed))
            break;
        const Choice choice = choiceAt(index);
        index = reloads < kMaxReloads ? loadList(true, &choice) : -1;
        if (index < 0) {
            m_view.setListIndex(-1);
            if (show)
                clearFields();
            // A list that could not be loaded has said so already.
            if (m_listed)
                reportChangedRecord();
            return false;
        }
    }
    if (!record) {
        // The file is shorter than the list: another copy of the program changed it.
        if (show)
            clearFields();
        return false;
    }
    m_shownRecord = record;
    if (show) {
        const std::array<std::string, 5> fields = shownFields(*record);
        for (std::size_t i = 0; i < fields.size(); ++i)
            showText1(static_cast<int>(i), fields[i]);
    }
    return true;
}

bool frmPersonas::listStillShowsFile(const char *failure, bool show)
{
    contacts::FileStamp now;
    if (!m_jobs.command(failure, [&] { now = m_file.stamp(); })) {
        loadList(false);
        return false;
    }
    // A file that has gone holds no record to mistake: the command finds that out.
    if (!now.exists || (m_listed && now == *m_listed))
        return true;
    // The entry may stand for another record by now, and the fields may show one
    // that is no longer there: nothing is done. The user sees the list again, the
    // same contact chosen, and decides again.
    const Choice choice = choiceAt(m_view.listIndex());
    if (loadList(true, &choice) >= 0)
        readChosen(show);
    if (m_listed)
        reportChangedRecord();
    return false;
}

void frmPersonas::cmdAltas_Click()
{
    const contacts::Persona persona = fieldsAsPersona();
    if (!m_jobs.runFile(wording::kAdding, wording::kAddFailed, [&] { m_file.append(persona); })) {
        loadList(false); // the fields keep what the user typed
        return;
    }
    clearFields();
    cmdVerlista_Click();
}

void frmPersonas::cmdBajas_Click()
{
    if (m_view.listIndex() < 0 || !listStillShowsFile(wording::kDeleteFailed, true))
        return;
    const int index = m_view.listIndex();
    bool removed = true;
    if (!m_jobs.runFile(wording::kDeleting, wording::kDeleteFailed,
                    [&] { removed = m_shownRecord && m_file.remove(index, *m_shownRecord); })) {
        loadList(false);
        return;
    }
    if (!removed)
        reportChangedRecord();
    cmdVerlista_Click();
}

void frmPersonas::cmdModificar_Click()
{
    if (m_view.listIndex() < 0) {
        cmdAltas_Click();
        return;
    }
    // The fields hold what the user typed: they stay as they are.
    if (!listStillShowsFile(wording::kModifyFailed, false))
        return;
    const int index = m_view.listIndex();
    const contacts::Persona persona = fieldsAsPersona();
    bool modified = true;
    if (!m_jobs.runFile(wording::kModifying, wording::kModifyFailed,
                    [&] { modified = m_shownRecord && m_file.modify(index, *m_shownRecord, persona); })) {
        loadList(false);
        return;
    }
    if (!modified)
        reportChangedRecord();
    else
        clearFields();
    cmdVerlista_Click();
}

void frmPersonas::cmdLimpiar_Click()
{
    clearFields();
}

void frmPersonas::mnuImportar_Click()
{
    m_exchange.chooseAndImport();
}

void frmPersonas::mnuExportar_Click()
{
    m_exchange.chooseAndExport();
}

void frmPersonas::Form_OLEDragDrop(const std::vector<std::filesystem::path> &files)
{
    for (const std::filesystem::path &file : files)
        m_exchange.importFile(file);
}

void frmPersonas::importFile(const std::filesystem::path &file)
{
    m_exchange.importFile(file);
}

void frmPersonas::mnuSalir_Click()
{
    if (m_actions.exit)
        m_actions.exit();
}

void frmPersonas::mnuAbout_Click()
{
    if (m_actions.showAbout)
        m_actions.showAbout();
}

void frmPersonas::txtBusqueda_Change()
{
    // A list left behind by another copy's change is loaded again before it is
    // searched; a failure to look is told by the selection that follows.
    // The look is on this thread, as the read of the chosen record that follows is:
    // a job's thread for each keystroke would cost more than the search.
    std::optional<contacts::FileStamp> now;
    try {
        now = m_file.stamp();
    } catch (const contacts::FileError &) {
    }
    if (now && now->exists && now != m_listed)
        loadList(true);
    // The first entry, in list order, that begins with the search text; none clears
    // the selection (and the fields).
    setListIndex(m_view.findListEntry(m_view.searchText()));
}

contacts::Persona frmPersonas::fieldsAsPersona() const
{
    contacts::Persona persona;
    for (std::size_t i = 0; i < contacts::kFieldWidths.size(); ++i)
        contacts::field(persona, i) = m_view.text1(static_cast<int>(i));
    return persona;
}

void frmPersonas::showText1(int index, const std::string &text)
{
    if (m_view.text1(index) != text)
        m_view.setText1(index, text);
}

void frmPersonas::clearFields()
{
    for (int i = 0; i < static_cast<int>(contacts::kFieldWidths.size()); ++i)
        showText1(i, std::string());
}

void frmPersonas::reportChangedRecord()
{
    m_view.showMessage(wording::kRecordChanged);
}

} // namespace forms
