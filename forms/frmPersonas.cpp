#include "forms/frmPersonas.h"

#include "wording/FileMessages.h"
#include "wording/Messages.h"

#include "version/Version.h"

namespace forms {

frmPersonas::frmPersonas(PersonasView &view, contacts::FileSystem &fs, const std::filesystem::path &folder,
                         PersonasActions actions)
    : m_view(view), m_file(fs, folder), m_actions(std::move(actions))
{
}

void frmPersonas::Form_Load()
{
    m_view.setCaption(std::string(version::kProductName) + " " + std::to_string(version::kMajor) + "."
                      + std::to_string(version::kMinor));
    cmdVerlista_Click();
}

std::vector<std::string> frmPersonas::OrdenarArchivo()
{
    return m_file.sortAndList();
}

void frmPersonas::cmdVerlista_Click()
{
    loadList(true);
}

void frmPersonas::loadList(bool reportErrors)
{
    std::vector<std::string> entries;
    // After a command that found another copy saving, sorting would only wait for it
    // again: the file is listed as it stands.
    const bool sorted = reportErrors   ? runCommand(wording::kLoadFailed, [&] { entries = OrdenarArchivo(); })
                        : m_lockHeld ? false
                                     : tryQuietly([&] { entries = OrdenarArchivo(); });
    if (!sorted) {
        // The file is as it was; list it in its present order so that the list still
        // matches the records.
        if (!tryQuietly([&] { entries = m_file.list(); }))
            entries.clear();
    }
    m_shownRecord.reset();
    m_view.setListEntries(std::move(entries));
}

void frmPersonas::setListIndex(int index)
{
    m_view.setListIndex(index);
    List1_Click();
}

void frmPersonas::List1_Click()
{
    const int index = m_view.listIndex();
    m_shownRecord.reset();
    if (index < 0) {
        clearFields();
        return;
    }
    std::optional<contacts::Record> record;
    if (!runCommand(wording::kReadFailed, [&] { record = m_file.read(index); }))
        return;
    if (!record) {
        // The file is shorter than the list: another copy of the program changed it.
        clearFields();
        return;
    }
    m_shownRecord = record;
    const contacts::Persona persona = contacts::decode(*record);
    for (std::size_t i = 0; i < contacts::kFieldWidths.size(); ++i)
        m_view.setText1(static_cast<int>(i), std::string(contacts::trimSpaces(contacts::field(persona, i))));
}

void frmPersonas::cmdAltas_Click()
{
    const contacts::Persona persona = fieldsAsPersona();
    if (!runCommand(wording::kAddFailed, [&] { m_file.append(persona); })) {
        loadList(false); // the fields keep what the user typed
        return;
    }
    clearFields();
    cmdVerlista_Click();
}

void frmPersonas::cmdBajas_Click()
{
    const int index = m_view.listIndex();
    if (index < 0)
        return;
    bool removed = true;
    if (!runCommand(wording::kDeleteFailed, [&] { removed = m_shownRecord && m_file.remove(index, *m_shownRecord); })) {
        loadList(false);
        return;
    }
    if (!removed)
        reportChangedRecord();
    cmdVerlista_Click();
}

void frmPersonas::cmdModificar_Click()
{
    const int index = m_view.listIndex();
    if (index < 0) {
        cmdAltas_Click();
        return;
    }
    const contacts::Persona persona = fieldsAsPersona();
    bool modified = true;
    if (!runCommand(wording::kModifyFailed,
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

void frmPersonas::clearFields()
{
    for (int i = 0; i < static_cast<int>(contacts::kFieldWidths.size()); ++i)
        m_view.setText1(i, std::string());
}

void frmPersonas::reportChangedRecord()
{
    m_view.showMessage(wording::kRecordChanged);
}

bool frmPersonas::tryQuietly(const std::function<void()> &command)
{
    try {
        command();
        return true;
    } catch (const contacts::FileError &) {
        return false;
    }
}

bool frmPersonas::runCommand(const char *failure, const std::function<void()> &command)
{
    m_lockHeld = false;
    try {
        command();
        return true;
    } catch (const contacts::FileError &error) {
        m_lockHeld = wording::heldByAnotherCopy(error);
        m_view.showMessage(wording::fileErrorMessage(failure, error));
    }
    return false;
}

} // namespace forms
