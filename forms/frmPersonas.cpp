#include "forms/frmPersonas.h"

#include "wording/FileMessages.h"

#include "version/Version.h"

namespace forms {

namespace {

constexpr char kLoadFailed[] = "No se pudo cargar la lista de contactos.";
constexpr char kReadFailed[] = "No se pudo leer el contacto seleccionado.";
constexpr char kAddFailed[] = "No se pudo agregar el contacto.";
constexpr char kDeleteFailed[] = "No se pudo eliminar el contacto.";
constexpr char kModifyFailed[] = "No se pudo modificar el contacto.";
constexpr char kRecordChanged[] =
    "El contacto seleccionado ya no es el que se muestra: el archivo de contactos "
    "ha cambiado, quizá desde otra copia del programa.\n\n"
    "No se ha modificado nada. La lista se vuelve a cargar.";

} // namespace

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
    const bool sorted = reportErrors ? runCommand(kLoadFailed, [&] { entries = OrdenarArchivo(); })
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
    if (!runCommand(kReadFailed, [&] { record = m_file.read(index); }))
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
    if (!runCommand(kAddFailed, [&] { m_file.append(persona); })) {
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
    if (!runCommand(kDeleteFailed, [&] { removed = m_shownRecord && m_file.remove(index, *m_shownRecord); })) {
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
    if (!runCommand(kModifyFailed,
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
    // The first entry, in list order, that begins with the search text; comparing
    // UTF-8 bytes is comparing code points, and a prefix stays a prefix.
    const std::string prefix = m_view.searchText();
    const std::vector<std::string> &entries = m_view.listEntries();
    int found = -1;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].starts_with(prefix)) {
            found = static_cast<int>(i);
            break;
        }
    }
    setListIndex(found);
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
    m_view.showMessage(kRecordChanged);
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
    try {
        command();
        return true;
    } catch (const contacts::FileError &error) {
        m_view.showMessage(wording::fileErrorMessage(failure, error));
    }
    return false;
}

} // namespace forms
