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

// Counts a job under way for as long as the window waits for it.
class Working {
public:
    explicit Working(int &count) : m_count(count) { ++m_count; }
    ~Working() { --m_count; }
    Working(const Working &) = delete;
    Working &operator=(const Working &) = delete;

private:
    int &m_count;
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
    const bool sorted = reportErrors ? runFileJob(wording::kLoadingList, wording::kLoadFailed,
                                                  [&] { entries = OrdenarArchivo(&listed); })
                        : m_lockHeld ? false
                                     : tryQuietly([&] { entries = OrdenarArchivo(&listed); });
    if (sorted) {
        m_listed = listed;
    } else {
        // The file is as it was; list it in its present order so that the list still
        // matches the records.
        if (tryQuietly([&] { entries = m_file.list(&listed); }))
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
    if (!keep && !m_exchanging && m_working == 0 && !m_waiting.empty())
        Form_OLEDragDrop(std::exchange(m_waiting, {}));
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
        if (!runCommand(wording::kReadFailed, [&] { record = m_file.read(index, &from); }))
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
            m_view.setText1(static_cast<int>(i), fields[i]);
    }
    return true;
}

bool frmPersonas::listStillShowsFile(const char *failure, bool show)
{
    contacts::FileStamp now;
    if (!runCommand(failure, [&] { now = m_file.stamp(); })) {
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
    if (!runFileJob(wording::kAdding, wording::kAddFailed, [&] { m_file.append(persona); })) {
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
    if (!runFileJob(wording::kDeleting, wording::kDeleteFailed,
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
    if (!runFileJob(wording::kModifying, wording::kModifyFailed,
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
    // A file may name thousands of things Vorteda keeps nowhere: the first few by name,
    // the rest counted, so that the question stays within the screen. A vCard's further
    // telephones, e-mails, addresses and names have sentences of their own.
    const bool vcard = read.format != exchange::Format::Csv; // an LDIF file's are summed up alike
    exchange::Skipped named;
    std::size_t others = 0;
    std::uint64_t more = 0;
    for (const auto &[name, n] : read.skipped) {
        const bool own = vcard && (name == "TEL" || name == "EMAIL" || name == "ADR" || name == "N");
        if (!own && others == wording::kOmittedShown) {
            ++more;
            continue;
        }
        others += own ? 0 : 1;
        named.emplace(name, n);
    }
    std::ostringstream omitted;
    exchange::skippedSummary(named, vcard, omitted);
    if (more > 0)
        omitted << "(y " << more << " más)\n";
    facts.omitted = omitted.str();
    return facts;
}

} // namespace

void frmPersonas::importFile(const std::filesystem::path &file)
{
    if (m_exchanging || m_working > 0) {
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
        const std::uint64_t asked = preview.read.records.size();
        exchange::Committed done;
        if (runFileJob(wording::kImporting, wording::kImportFailed,
                       [&] { done = exchange::commitImport(std::move(preview), m_file, false); })) {
            cmdVerlista_Click();
            // The counts of the rewrite itself: the file may have changed since the question.
            m_view.showMessage(wording::imported(shown, done.added, done.duplicates, asked));
        }
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
    {
        // The window's events go on meanwhile: a file handed over waits for the job.
        const Working working(m_working);
        m_view.waitFor(job);
    }
    if (!job.finished() && cancellable) {
        // The view stopped waiting before the work ended: the program is ending. Work
        // that can be stopped only reads; one held in a read the system does not
        // interrupt (a pipe, a share that hangs) must not keep the program alive
        // without a window, and there is nothing of it to keep.
        job.cancel();
        if (!job.wait(kStopWait) && m_actions.endNow)
            m_actions.endNow();
        job.wait(-1);
        return false;
    }
    return job.completed();
}

bool frmPersonas::runFileJob(const std::string &title, const char *failure, const std::function<void()> &work)
{
    // The message waits for the window's thread; the file is as it was.
    m_lockHeld = false;
    std::optional<contacts::FileError> failed;
    runJob(title, false, [&](Job &) {
        try {
            work();
        } catch (const contacts::FileError &error) {
            failed = error;
        }
    });
    if (failed) {
        m_lockHeld = wording::heldByAnotherCopy(*failed);
        m_view.showMessage(wording::fileErrorMessage(failure, *failed));
    }
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
    // A list left behind by another copy's change is loaded again before it is
    // searched; a failure to look is told by the selection that follows.
    // The look is on this thread, as the read of the chosen record that follows is:
    // a job's thread for each keystroke would cost more than the search.
    contacts::FileStamp now;
    bool looked = false;
    try {
        now = m_file.stamp();
        looked = true;
    } catch (const contacts::FileError &) {
    }
    if (looked && now.exists && !(m_listed && now == *m_listed))
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
    bool done = false;
    runJob(wording::kLoadingList, false, [&](Job &) {
        try {
            command();
            done = true;
        } catch (const contacts::FileError &) {
        }
    });
    return done;
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
