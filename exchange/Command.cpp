#include "exchange/Command.h"

#include "wording/CommandWords.h"
#include "wording/ExchangeWords.h"
#include "wording/FileMessages.h"
#include "wording/ImportWords.h"
#include "wording/Phrases.h"
#include "version/Version.h"
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "exchange/Import.h"
#include "exchange/Report.h"
#include "exchange/Text.h"

#include <optional>
#include <system_error>

namespace exchange {

namespace {

constexpr char kProgram[] = "vorteda-contactos";

// The arguments are UTF-8 on every system: on Windows a path made from a plain
// string would go through the ANSI code page and lose every character it lacks.
std::filesystem::path pathOf(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

struct Options {
    std::string command;
    std::string file;
    std::optional<std::string> format;
    std::optional<std::string> folder;
    bool trial = false;
    bool duplicates = false;
    bool help = false;
    bool version = false;
};

// Parses `args`; an empty string, or the reason they are wrong.
std::string parse(const std::vector<std::string> &args, Options &options)
{
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--ayuda" || a == "--help") {
            options.help = true;
        } else if (a == "--version") {
            options.version = true;
        } else if (a == "--prueba") {
            options.trial = true;
        } else if (a == "--duplicados") {
            options.duplicates = true;
        } else if (a == "--carpeta" || a == "--formato") {
            if (i + 1 == args.size())
                return wording::missingValue(a);
            (a == "--carpeta" ? options.folder : options.format) = args[++i];
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return wording::unknownOption(a);
        } else {
            positional.push_back(a);
        }
    }
    if (options.help || options.version)
        return {};
    if (positional.empty())
        return wording::kMissingCommand;
    options.command = positional[0];
    if (options.command != "exportar" && options.command != "importar")
        return wording::unknownCommand(options.command);
    if (positional.size() < 2)
        return wording::kMissingFile;
    if (positional.size() > 2)
        return wording::tooMany(positional[2]);
    options.file = positional[1];
    if (options.command == "importar" && options.format)
        return wording::kFormatOnlyForExport;
    if (options.command == "exportar" && (options.trial || options.duplicates))
        return wording::onlyForImport(options.trial ? "--prueba" : "--duplicados");
    if (options.format && *options.format != "vcard" && *options.format != "csv")
        return wording::unknownFormat(*options.format);
    return {};
}

int exportContacts(const Options &options, const std::filesystem::path &folder, std::ostream &out,
                   std::ostream &err, contacts::FileSystem &fs)
{
    Format format = Format::VCard;
    if (options.format)
        format = *options.format == "csv" ? Format::Csv : Format::VCard;
    else if (endsWithIgnoreCase(options.file, ".csv"))
        format = Format::Csv;
    else if (!endsWithIgnoreCase(options.file, ".vcf")) {
        err << kProgram << ": " << wording::whichFormat(options.file) << "\n";
        return kBadUsage;
    }
    // A mistyped --carpeta has no contacts to give: "0 exported" would hide the mistake.
    contacts::PathKind kind = contacts::PathKind::Missing;
    try {
        kind = fs.kind(folder);
    } catch (const contacts::FileError &) {
        // Not to be looked at is not to be found.
    }
    if (kind != contacts::PathKind::Folder) {
        err << kProgram << ": "
            << wording::noContactsFolder(wording::pathText(folder), kind != contacts::PathKind::Missing) << "\n";
        return kFailed;
    }
    contacts::ContactFile file(fs, folder);
    if (options.file != "-" && isContactsFile(file, pathOf(options.file))) {
        err << kProgram << ": " << wording::ontoContactsFile(options.file) << "\n";
        return kFailed;
    }
    std::uint64_t written = 0;
    try {
        if (options.file == "-")
            written = exchange::exportContacts(file, format, out);
        else
            written = exchange::exportContacts(file, format, pathOf(options.file));
    } catch (const contacts::FileError &error) {
        if (error.path() == "-")
            err << kProgram << ": " << wording::standardOutputFailed(error.code()) << "\n";
        else
            err << kProgram << ": " << wording::fileErrorLine(error) << "\n";
        return kFailed;
    }
    if (options.file != "-")
        out << wording::exportedTo(written, writtenName(format), options.file) << "\n";
    return kDone;
}

int importContacts(const Options &options, const std::filesystem::path &folder, std::ostream &out,
                   std::ostream &err, contacts::FileSystem &fs)
{
    const std::string nothing = wording::nothingChanged(folder / contacts::kDataFileName) + "\n";
    contacts::ContactFile file(fs, folder);
    OpenedImport opened = previewFile(pathOf(options.file), options.file, file, options.duplicates);
    if (!opened.preview) {
        err << kProgram << ": " << opened.refusal << "\n";
        return kFailed;
    }
    Preview preview = std::move(*opened.preview);
    const ImportResult &read = preview.read;
    // A screenful at most: a file of a million bad rows gives a report one can read.
    std::size_t shown = 0;
    for (const Problem &problem : read.problems)
        if (shown++ < wording::kListedAtMost)
            out << wording::kWarning << problemLine(problem) << "\n";
    for (const std::string &line : read.report)
        if (shown++ < wording::kListedAtMost)
            out << wording::kWarning << line << "\n";
    if (shown > wording::kListedAtMost)
        out << wording::kWarning << wording::andMore(shown - wording::kListedAtMost) << ".\n";
    const std::uint64_t warned = read.notWhole;
    const std::uint64_t unnamed = read.surnameTaken;
    const std::size_t unreadable = read.problems.size();
    const Skipped skipped = read.skipped;
    const bool vcard = read.format != Format::Csv;
    const std::string encoding = read.encoding;
    Committed done{read.records.size(), preview.duplicates};
    if (!options.trial) {
        try {
            done = commitImport(std::move(preview), file, options.duplicates);
        } catch (const contacts::FileError &error) {
            // The words for another copy's lock already say that nothing changed.
            err << kProgram << ": " << wording::fileErrorLine(error) << (wording::heldByAnotherCopy(error) ? "\n" : nothing);
            return kFailed;
        }
    }
    const std::string from = wording::importedFrom(readName(read.format), options.file);
    if (options.trial)
        out << wording::wouldAdd(done.added, from) << "\n";
    else
        out << wording::added(done.added, from) << "\n";
    if (done.duplicates > 0)
        out << wording::alreadyThere(done.duplicates, options.trial) << "\n";
    if (unreadable > 0)
        out << wording::unreadableParts(unreadable) << "\n";
    if (warned > 0)
        out << wording::notWhole(warned) << "\n";
    if (unnamed > 0)
        out << wording::withoutSurname(unnamed) << "\n";
    if (!encoding.empty())
        out << wording::assumedEncoding(encoding) << "\n";
    skippedSummary(skipped, vcard, out);
    return kDone;
}

} // namespace

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, contacts::FileSystem &fs,
        const std::function<std::filesystem::path()> &defaultFolder, ContactsPlace place)
{
    Options options;
    const std::string wrong = parse(args, options);
    if (!wrong.empty()) {
        err << kProgram << ": " << wrong << "\n" << wording::seeHelp(kProgram) << "\n";
        return kBadUsage;
    }
    if (options.help) {
        out << wording::kUsage << wording::defaultFolderName(place == ContactsPlace::BesideProgram) << wording::kUsageRest;
        return kDone;
    }
    if (options.version) {
        out << kProgram << " " << version::kVersionText << "\n";
        return kDone;
    }
    std::filesystem::path folder;
    try {
        folder = options.folder ? pathOf(*options.folder) : defaultFolder();
    } catch (const contacts::FileError &error) {
        err << kProgram << ": " << wording::fileErrorLine(error) << "\n";
        return kFailed;
    }
    if (options.command == "exportar")
        return exportContacts(options, folder, out, err, fs);
    return importContacts(options, folder, out, err, fs);
}

} // namespace exchange
