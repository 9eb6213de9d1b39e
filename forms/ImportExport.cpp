#include "forms/ImportExport.h"

#include "forms/ImportQueue.h"
#include "forms/JobRunner.h"
#include "forms/PersonasView.h"

#include "contacts/ContactFile.h"
#include "exchange/Report.h"
#include "wording/ExchangeWords.h"
#include "wording/Messages.h"
#include "wording/Phrases.h"

#include <array>
#include <cstdint>
#include <optional>
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

// The five stored fields of `record`, trimmed, as the question shows them.
std::array<std::string, 5> shownFields(const contacts::Record &record)
{
    const contacts::Persona persona = contacts::decode(record);
    std::array<std::string, 5> fields;
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = std::string(contacts::trimSpaces(contacts::field(persona, i)));
    return fields;
}

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
        omitted << wording::moreOmitted(more) << '\n';
    facts.omitted = omitted.str();
    return facts;
}

// The export's dialog: offered without an extension, so that the type chosen gives it.
FileDialog exportDialog(const std::filesystem::path &folder)
{
    return {wording::kExportTitle, folder, wording::kExportName,
            {{wording::kVCardFiles, {"*.vcf"}}, {wording::kCsvFiles, {"*.csv"}}}};
}

} // namespace

ImportExport::ImportExport(PersonasView &view, contacts::ContactFile &file, JobRunner &jobs, ImportQueue &queue,
                           std::function<void()> loadList)
    : m_view(view), m_file(file), m_jobs(jobs), m_queue(queue), m_loadList(std::move(loadList))
{
}

bool ImportExport::idle() const
{
    return !m_exchanging && !m_jobs.busy();
}

void ImportExport::chooseAndImport()
{
    FileDialog dialog{wording::kImportTitle, m_lastFolder, {},
                      {{wording::kContactsFiles, {"*.vcf", "*.csv"}}, {wording::kAllFiles, {"*"}}}};
    const std::optional<ChosenFile> chosen = m_view.chooseFileToOpen(dialog);
    if (chosen)
        importFile(chosen->path);
}

void ImportExport::importFile(const std::filesystem::path &file)
{
    if (!idle()) {
        m_queue.importWhenIdle(file);
        return;
    }
    exchangeThenDrain([&] { importOne(file); });
}

void ImportExport::exchangeThenDrain(const std::function<void()> &work)
{
    {
        const Exchanging exchanging(m_exchanging);
        work();
    }
    // What came meanwhile (in an export's dialog too), in its turn, however this one
    // ended ("Cancelar" too); nothing more once the program is ending.
    if (!m_jobs.ending())
        importWaiting();
}

void ImportExport::importWaiting()
{
    if (idle())
        m_queue.windowIdle();
}

void ImportExport::importOne(const std::filesystem::path &file)
{
    rememberFolder(file);
    const std::string shown = wording::pathText(file);
    exchange::OpenedImport opened;
    if (!m_jobs.run(wording::reading(shown), true, [&](Job &job) {
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
        if (m_jobs.runFile(wording::kImporting, wording::kImportFailed,
                           [&] { done = exchange::commitImport(std::move(preview), m_file, false); })) {
            m_loadList();
            // The counts of the rewrite itself: the file may have changed since the question.
            m_view.showMessage(wording::imported(shown, done.added, done.duplicates, asked));
        }
    }
}

void ImportExport::chooseAndExport()
{
    if (!m_exchanging)
        exchangeThenDrain([this] { exportOne(); });
}

void ImportExport::exportOne()
{
    const FileDialog dialog = exportDialog(m_lastFolder);
    const std::optional<ChosenFile> chosen = m_view.chooseFileToSave(dialog);
    if (!chosen)
        return;
    const ExportTarget target = exportTarget(dialog, *chosen);
    rememberFolder(target.path);
    const std::string shown = wording::pathText(target.path);
    if (exchange::isContactsFile(m_file, target.path)) {
        m_view.showMessage(std::string(wording::kExportFailed) + "\n\n" + wording::ontoContactsFile(shown));
        return;
    }
    std::uint64_t written = 0;
    if (m_jobs.runFile(wording::kExporting, wording::kExportFailed,
                       [&] { written = exchange::exportContacts(m_file, target.format, target.path); }))
        m_view.showMessage(wording::exported(written, shown, exchange::writtenName(target.format)));
}

void ImportExport::rememberFolder(const std::filesystem::path &file)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (!ec && absolute.has_parent_path())
        m_lastFolder = absolute.parent_path();
}

} // namespace forms
