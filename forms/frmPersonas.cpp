#include "forms/frmPersonas.h"

#include "wording/FileMessages.h"
#include "wording/Messages.h"

#include "exchange/Report.h"
#include "version/Version.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <system_error>
#include <utility>

namespace forms {

namespace {

// Marks an import or export under way for as long as it lives, however it ends.
class Exchanging {
public:
    explicit Exchanging(bool &flag) : m_flag(flag) { m_flag = true; }
    ~Exchanging() { m_flag = false; }
    Exchanging(const Exchanging &) = delete;
    Exchanging &operator=(const Exchanging &) = delete;

private:
    bool &m_flag;
};

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
    const std::array<std::string, 5> fields = shownFields(*record);
    for (std::size_t i = 0; i < fields.size(); ++i)
        m_view.setText1(static_cast<int>(i), fields[i]);
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

void frmPersonas::mnuImportar_Click()
{
    FileDialog dialog{wording::kImportTitle, m_lastFolder, {},
                      {{wording::kContactsFiles, {"*.vcf", "*.csv"}}, {wording::kAllFiles, {"*"}}}};
    const std::optional<ChosenFile> chosen = m_view.chooseFileToOpen(dialog);
    if (chosen)
        importFile(chosen->path);
}

void frmPersonas::Form_OLEDragDrop(const std::vector<std::filesystem::path> &files)
{
    for (const std::filesystem::path &file : files)
        importFile(file);
}

namespace {

wording::ImportFacts factsOf(const exchange::Preview &preview, const std::string &shown)
{
    const exchange::ImportResult &read = preview.read;
    wording::ImportFacts facts;
    facts.file = shown;
    facts.format = exchange::readName(read.format);
    facts.added = read.records.size();
    facts.duplicates = preview.duplicates;
    for (std::size_t i = 0; i < read.records.size() && i < wording::kFirstShown; ++i)
        facts.first.push_back(shownFields(read.records[i]));
    for (const exchange::Problem &problem : read.problems)
        facts.warnings.push_back(exchange::problemLine(problem));
    facts.warnings.insert(facts.warnings.end(), read.report.begin(), read.report.end());
    std::ostringstream omitted;
    exchange::skippedSummary(read.skipped, read.format != exchange::Format::Csv, omitted);
    facts.omitted = omitted.str();
    return facts;
}

} // namespace

void frmPersonas::importFile(const std::filesystem::path &file)
{
    if (m_exchanging) {
        m_waiting.push_back(file);
        return;
    }
    const Exchanging exchanging(m_exchanging);

    rememberFolder(file);
    const std::string shown = exchange::pathText(file);
    exchange::OpenedImport opened;
    if (!runJob(wording::reading(shown), true, [&](Job &job) {
            opened = exchange::previewFile(file, shown, m_file, false,
                                           [&](std::uint64_t bytes, std::uint64_t size) { job.report(bytes, size); });
        }))
        return;
    if (!opened.preview) {
        m_view.showMessage(std::string(wording::kImportFailed) + "\n\n" + opened.refusal);
    } else if (opened.preview->read.records.empty()) {
        m_view.showMessage(wording::nothingToImport(shown, opened.preview->duplicates));
    } else if (m_view.confirm(wording::importConfirmation(factsOf(*opened.preview, shown)), wording::kImportButton,
                              wording::kCancelButton)) {
        exchange::Preview preview = std::move(*opened.preview);
        opened.preview.reset();
        if (runFileJob(wording::kImporting, wording::kImportFailed,
                       [&] { exchange::commitImport(std::move(preview), m_file, false); }))
            cmdVerlista_Click();
    }
    // What came meanwhile, in its turn.
    if (!m_waiting.empty()) {
        std::vector<std::filesystem::path> waiting = std::exchange(m_waiting, {});
        m_exchanging = false;
        Form_OLEDragDrop(waiting);
    }
}

void frmPersonas::mnuExportar_Click()
{
    if (m_exchanging)
        return;
    const Exchanging exchanging(m_exchanging);

    // Offered without an extension, so that the type chosen in the dialog gives it.
    FileDialog dialog{wording::kExportTitle, m_lastFolder, wording::kExportName,
                      {{wording::kVCardFiles, {"*.vcf"}}, {wording::kCsvFiles, {"*.csv"}}}};
    const std::optional<ChosenFile> chosen = m_view.chooseFileToSave(dialog);
    if (!chosen)
        return;
    const ExportTarget target = exportTarget(*chosen);
    rememberFolder(target.path);
    const std::string shown = exchange::pathText(target.path);
    if (exchange::isContactsFile(m_file, target.path)) {
        m_view.showMessage(std::string(wording::kExportFailed) + "\n\n" + exchange::ontoContactsFile(shown));
        return;
    }
    std::uint64_t written = 0;
    if (runFileJob(wording::kExporting, wording::kExportFailed,
                   [&] { written = exchange::exportContacts(m_file, target.format, target.path); }))
        m_view.showMessage(wording::exported(written, shown, exchange::writtenName(target.format)));
}

ExportTarget exportTarget(const ChosenFile &chosen)
{
    std::string extension = exchange::pathText(chosen.path.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".vcf")
        return {chosen.path, exchange::Format::VCard};
    if (extension == ".csv")
        return {chosen.path, exchange::Format::Csv};
    const exchange::Format format = chosen.filter == 1 ? exchange::Format::Csv : exchange::Format::VCard;
    std::filesystem::path path = chosen.path;
    if (extension.empty())
        path += format == exchange::Format::Csv ? ".csv" : ".vcf";
    return {path, format};
}

bool frmPersonas::runJob(const std::string &title, bool cancellable, const std::function<void(Job &)> &work)
{
    Job job(title, cancellable ? wording::kCancelButton : "", work);
    m_view.waitFor(job);
    return job.completed();
}

bool frmPersonas::runFileJob(const std::string &title, const char *failure, const std::function<void()> &work)
{
    // The message waits for the window's thread; the file is as it was.
    std::optional<contacts::FileError> failed;
    runJob(title, false, [&](Job &) {
        try {
            work();
        } catch (const contacts::FileError &error) {
            failed = error;
        }
    });
    if (failed)
        m_view.showMessage(wording::fileErrorMessage(failure, *failed));
    return !failed;
}

void frmPersonas::rememberFolder(const std::filesystem::path &file)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (!ec && absolute.has_parent_path())
        m_lastFolder = absolute.parent_path();
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
