#include "exchange/Import.h"
#include "exchange/Report.h"
#include "exchange/Text.h"
#include "wording/ExchangeWords.h"
#include "wording/Phrases.h"

#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

namespace exchange {

namespace {

constexpr std::string_view kBom = "﻿";

// Stored records (105 bytes each, held elsewhere) looked up by their bytes: open
// addressing, so that a million of them cost a few megabytes and no allocation each.
class RecordSet {
public:
    explicit RecordSet(std::size_t expected)
    {
        std::size_t size = 16;
        while (size < expected * 2)
            size *= 2;
        m_slots.assign(size, nullptr);
    }

    // False when an equal record is there already.
    bool insert(const char *record)
    {
        std::size_t at = find(record);
        if (m_slots[at])
            return false;
        m_slots[at] = record;
        return true;
    }

    bool contains(const char *record) const { return m_slots[find(record)] != nullptr; }

private:
    std::size_t find(const char *record) const
    {
        std::uint64_t hash = 0x9E3779B97F4A7C15u;
        for (std::size_t i = 0; i + 8 <= contacts::kRecordSize; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, record + i, 8);
            hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
            hash ^= hash >> 32;
        }
        hash = (hash ^ static_cast<unsigned char>(record[contacts::kRecordSize - 1])) * 0xC4CEB9FE1A85EC53u;
        hash ^= hash >> 29;
        const std::size_t mask = m_slots.size() - 1;
        std::size_t at = static_cast<std::size_t>(hash) & mask;
        while (m_slots[at] && std::memcmp(m_slots[at], record, contacts::kRecordSize) != 0)
            at = (at + 1) & mask;
        return at;
    }

    std::vector<const char *> m_slots;
};

// The first two lines of `in` that are neither blank nor comments, and the first's
// number; empty at the end of the file.
std::string firstLines(std::istream &in, std::uint64_t &number, std::string &second)
{
    LineReader lines(in);
    std::string line;
    std::string first;
    while (lines.next(line)) {
        if (!isBlank(line) && line[0] != '#') {
            if (first.empty()) {
                number = lines.number();
                first = line;
            } else {
                second = line;
                break;
            }
        }
    }
    return first;
}

// Whether `line`, blanks aside, begins with `key` ("dn:"), in any case.
bool beginsWithKey(std::string_view line, std::string_view key)
{
    return startsWithIgnoreCase(trimBlanks(line), key);
}

bool allBlank(const contacts::Persona &p)
{
    for (std::size_t f = 0; f < 5; ++f)
        if (!isBlank(contacts::field(p, f)))
            return false;
    return true;
}

// A telephone as short as it can be written: without spaces, dots, dashes and
// brackets (a leading '+' stays).
std::string compactPhone(std::string_view text)
{
    std::string out;
    for (char c : text)
        if (std::string_view(" .-()[]").find(c) == std::string_view::npos)
            out += c;
    return out;
}

// How the report names a contact: given name and surname, as the file gave them.
std::string nameOf(const Contact &contact)
{
    const std::string_view given = contacts::trimSpaces(contact.fields.Nombre);
    const std::string_view surname = contacts::trimSpaces(contact.fields.Apellido);
    std::string name(given);
    if (!given.empty() && !surname.empty())
        name += ' ';
    name += surname;
    return name;
}

std::size_t characters(std::string_view utf8)
{
    std::size_t n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}


} // namespace

std::string_view withoutEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
    }
    return line;
}

ImportResult readContacts(std::istream &in, const Progress &progress)
{
    // A spreadsheet's "Unicode text" is UTF-16: read as the UTF-8 it stands for.
    char mark[3] = {};
    in.read(mark, 3);
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    if (in.bad())
        throw ImportError(0, wording::kUnreadable);
    std::string utf16(mark, got);
    std::string utf8;
    if (fromUtf16(utf16, utf8)) {
        utf16.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad())
            throw ImportError(0, wording::kUnreadable);
        // Half a character at the end is no character: it adds nothing.
        if (utf16.size() % 2 != 0)
            utf16.pop_back();
        fromUtf16(utf16, utf8);
        utf16 = std::string();
        std::istringstream text(std::move(utf8));
        ImportResult result = readContacts(text, progress);
        result.encoding = "UTF-16";
        return result;
    }
    in.clear();
    in.seekg(std::string_view(mark, got) == kBom ? 3 : 0);
    const std::streampos begin = in.tellg();
    if (!in)
        throw ImportError(0, wording::kUnreadable);
    // The first bytes, to say what a file that is not one of contacts looks like.
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(begin);

    ImportResult result;
    std::uint64_t firstNumber = 0;
    std::string second;
    const std::string first = firstLines(in, firstNumber, second);
    if (in.bad())
        throw ImportError(0, wording::kUnreadable);
    if (first.empty())
        throw ImportError(1, wording::kEmptyFile);
    CsvHeader header;
    if (equalsIgnoreCase(trimBlanks(first), "BEGIN:VCARD")) {
        result.format = Format::VCard;
    } else if (beginsWithKey(first, "dn:") || (beginsWithKey(first, "version:") && beginsWithKey(second, "dn:"))) {
        result.format = Format::Ldif;
    } else {
        // A file that plainly is something else (a workbook, a picture, a message, a
        // web page) is said so, whatever lines of it might pass for a header.
        wording::LooksLike kind = looksLike(head, first);
        if (kind != wording::LooksLike::Nothing)
            throw ImportError(firstNumber, wording::notContacts(kind));
        in.clear();
        in.seekg(begin);
        std::vector<std::string> found;
        bool ragged = false;
        if (!findCsvHeader(in, header, found, ragged)) {
            bool columns = false;
            if (kind == wording::LooksLike::Nothing && ragged) {
                kind = wording::LooksLike::CsvRagged;
            } else if (kind == wording::LooksLike::Nothing && found.size() >= 2) {
                // A row of short titles: a CSV whose columns name no one.
                columns = true;
                for (const std::string &cell : found)
                    columns = columns && !cell.empty() && cell.size() <= 40 && cell.find('@') == std::string::npos;
                if (columns)
                    kind = wording::LooksLike::CsvNoNames;
            }
            std::string text = wording::notContacts(kind);
            if (columns) {
                std::string names;
                for (const std::string &name : found)
                    names += (names.empty() ? "" : ", ") + wording::inQuotes(printable(name));
                text += wording::csvColumns(names);
            }
            throw ImportError(firstNumber, text);
        }
        result.format = Format::Csv;
    }

    in.clear();
    in.seekg(begin);
    LineReader lines(in, progress);
    const ContactSink sink = [&](Contact &&contact) {
        // Nothing at all is no one.
        if (!contact.own && allBlank(contact.fields))
            return;
        // Refused here rather than after filling the memory: the data file cannot take them.
        if (result.records.size() == contacts::kMaxRecords)
            throw ImportError(contact.line, wording::tooManyContacts(contacts::kMaxRecords));
        Stored stored;
        result.records.push_back(store(contact, result.report, &stored));
        result.notWhole += stored.notWhole ? 1 : 0;
        result.surnameTaken += contact.surnameFrom >= 0 ? 1 : 0;
        if (!stored.said.empty()) {
            std::string who = wording::contactAt(contact.line, printable(nameOf(contact)));
            result.unsure[result.records.size() - 1] = {std::move(stored.said), std::move(who)};
        }
    };
    if (result.format == Format::VCard)
        readVCards(lines, sink, result.skipped, result.problems);
    else if (result.format == Format::Ldif)
        readLdif(lines, sink, result.skipped, result.problems);
    else
        readCsv(lines, header, sink, result.skipped, result.problems);
    if (in.bad())
        throw ImportError(lines.number(), wording::kUnreadable);
    if (lines.assumed())
        result.encoding = lines.assumed();
    result.handled = lines.handed();
    if (result.records.empty()) {
        if (!result.problems.empty())
            throw ImportError(result.problems[0].line, result.problems[0].text);
        if (result.format == Format::Csv)
            throw ImportError(header.line, wording::kNoOneUnderHeader);
        throw ImportError(firstNumber, result.format == Format::Ldif ? wording::kNoPersonInLdif
                                                                     : wording::kNoContactInFile);
    }
    return result;
}

contacts::Record store(const Contact &contact, std::vector<std::string> &report, Stored *result)
{
    contacts::Record record;
    std::string notes;
    std::string said;
    bool anyReplaced = false;
    for (std::size_t f = 0; f < 5; ++f) {
        // No line break or other control character is stored: they would reach every
        // export and every reader of the file.
        std::string text = withoutControls(contacts::field(contact.fields, f), f == 2 ? ", " : " ");
        const std::size_t width = contacts::kFieldWidths[f];
        // Fit before cutting: "+34 655 44 33 22" is whole as "+34655443322".
        if (f == 3 && !contact.own && characters(text) > width)
            text = compactPhone(text);

        char *out = record.data() + contacts::kFieldOffsets[f];
        std::size_t stored = 0;
        std::size_t end = 0; // of the text stored
        bool replaced = false;
        bool cut = false;
        std::size_t pos = 0;
        while (pos < text.size()) {
            char32_t ch = static_cast<unsigned char>(text[pos]);
            const bool ok = ch < 0x80 ? (++pos, true) : contacts::nextUtf8(text, pos, ch);
            const unsigned char byte = ok ? contacts::unicodeToCp1252(ch) : '?';
            if (stored == width) {
                // Only padding may go without a word.
                if (!(ok && ch == ' ')) {
                    cut = true;
                    break;
                }
                continue;
            }
            replaced = replaced || (byte == '?' && !(ok && ch == '?'));
            out[stored++] = static_cast<char>(byte);
            end = pos;
        }
        if (replaced && !anyReplaced && result) {
            // The fields before this one, as they were stored (no '?' in them).
            said.clear();
            for (std::size_t g = 0; g < f; ++g) {
                said += '\x1F';
                said += contacts::decodeCp1252(contacts::trimSpaces(
                    std::string_view(record.data() + contacts::kFieldOffsets[g], contacts::kFieldWidths[g])));
            }
        }
        anyReplaced = anyReplaced || replaced;
        std::fill(out + stored, out + width, ' ');
        // What the file said, as far as it was stored: kept only when a '?' stands
        // for some of it (rare), to tell people apart.
        if (result && anyReplaced) {
            said += '\x1F';
            said.append(text, 0, end);
        }
        if (!cut && !replaced)
            continue;
        if (result)
            result->notWhole = true;
        const std::string shown = printable(contacts::decodeCp1252(contacts::trimSpaces(std::string_view(out, width))));
        notes += notes.empty() ? ": " : "; ";
        notes += wording::fieldNotWhole(f, shown, width, cut, replaced);
    }
    if (contact.surnameFrom >= 0)
        notes += (notes.empty() ? ": " : "; ")
            + wording::surnameTakenFrom(static_cast<wording::SurnameFrom>(contact.surnameFrom));
    if (result && anyReplaced)
        result->said = std::move(said);
    if (!notes.empty()) {
        std::string name = nameOf(contact);
        if (name.empty())
            name = wording::kNoName;
        report.push_back(wording::contactAt(contact.line, printable(name)) + notes);
    }
    return record;
}

Preview previewImport(std::istream &in, contacts::ContactFile &file, bool keepDuplicates, const Progress &progress)
{
    Preview preview;
    // Told again, with the bytes read, every 64 Ki records of the comparison below: a
    // progress that stops the work is heard there too.
    std::uint64_t read = 0;
    const Progress reading = progress ? Progress([&](std::uint64_t bytes) {
        read = bytes;
        progress(bytes);
    })
                                      : Progress();
    std::uint64_t compared = 0;
    const auto step = [&] {
        if (progress && (++compared & 0xFFFF) == 0)
            progress(read);
    };
    preview.read = readContacts(in, reading);
    if (keepDuplicates)
        return preview;
    std::vector<contacts::Record> existing;
    file.forEachRecord([&](const char *record) {
        step();
        existing.emplace_back();
        std::memcpy(existing.back().data(), record, contacts::kRecordSize);
    });
    std::vector<contacts::Record> &records = preview.read.records;
    auto &unsure = preview.read.unsure;
    RecordSet there(existing.size());
    for (const contacts::Record &record : existing) {
        step();
        there.insert(record.data());
    }
    // Within the file, a record that holds a '?' for a character is the same as
    // another only when the file said the same: two people whose names both became
    // "?" are two.
    RecordSet seen(records.size());
    std::set<std::string> seenUnsure;
    std::map<std::size_t, ImportResult::Unsure> keptUnsure;
    // Kept records move down over the left-out ones; the set points at their new places.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        step();
        if (kept != i)
            records[kept] = records[i];
        const auto doubt = unsure.find(i);
        bool duplicate = there.contains(records[kept].data());
        if (!duplicate && doubt == unsure.end())
            duplicate = !seen.insert(records[kept].data());
        else if (!duplicate)
            duplicate = !seenUnsure.insert(std::string(records[kept].data(), contacts::kRecordSize) + doubt->second.said)
                             .second;
        if (duplicate) {
            ++preview.duplicates;
            if (doubt != unsure.end())
                preview.read.report.push_back(doubt->second.who + ": " + wording::sameAsBefore());
            continue;
        }
        if (doubt != unsure.end())
            keptUnsure[kept] = std::move(doubt->second);
        ++kept;
    }
    unsure = std::move(keptUnsure);
    records.resize(kept);
    return preview;
}

Committed commitImport(Preview &&preview, contacts::ContactFile &file, bool keepDuplicates)
{
    Committed committed;
    committed.duplicates = preview.duplicates;
    committed.added = preview.read.records.size();
    if (preview.read.records.empty())
        return committed; // nothing to add: the file is not touched
    contacts::ContactFile::Chooser choose;
    if (!keepDuplicates) {
        choose = [&](const char *existing, std::uint64_t count, std::vector<contacts::Record> &records) {
            if (count == 0)
                return;
            RecordSet there(static_cast<std::size_t>(count));
            for (std::uint64_t i = 0; i < count; ++i)
                there.insert(existing + i * contacts::kRecordSize);
            std::size_t kept = 0;
            for (std::size_t i = 0; i < records.size(); ++i) {
                if (there.contains(records[i].data()))
                    continue;
                if (kept != i)
                    records[kept] = records[i];
                ++kept;
            }
            committed.duplicates += records.size() - kept;
            records.resize(kept);
            committed.added = kept;
        };
    }
    file.appendAll(std::move(preview.read.records), choose);
    return committed;
}

namespace {

// Every record as vCard or CSV, handed to `write` a megabyte at a time. The data file
// is read whole before the first piece, so a file that cannot be read writes nothing.
std::uint64_t exportInto(contacts::ContactFile &file, Format format, const std::function<void(const std::string &)> &write)
{
    std::uint64_t count = 0;
    std::string buffer;
    buffer.reserve((std::size_t(1) << 20) + 4096);
    if (format == Format::Csv)
        writeCsvHeader(buffer);
    contacts::Persona fields;
    file.forEachRecord([&](const char *record) {
        // Only the padding goes: leading spaces and every other byte come back on import.
        for (std::size_t f = 0; f < 5; ++f) {
            std::string_view text(record + contacts::kFieldOffsets[f], contacts::kFieldWidths[f]);
            text = text.substr(0, text.find_last_not_of(' ') + 1);
            contacts::field(fields, f) = contacts::decodeCp1252(text);
        }
        if (format == Format::Csv)
            writeCsvRow(fields, buffer);
        else
            writeVCard(fields, buffer);
        ++count;
        if (buffer.size() >= (std::size_t(1) << 20)) {
            write(buffer);
            buffer.clear();
        }
    });
    write(buffer);
    return count;
}

// Where an export is written before it takes the destination's place: beside it, under
// a name that begins with a dot, which none of the contacts' own files has.
std::filesystem::path exportTempPath(const std::filesystem::path &target)
{
    std::filesystem::path name = std::filesystem::path(".") += target.filename();
    name += ".tmp";
    return target.parent_path() / name;
}

// A new, empty file at `path`. Whatever has the name already (an export that was cut
// short, or a link someone left there) is taken away first, never written through.
contacts::FileHandle openNew(contacts::FileSystem &fs, const std::filesystem::path &path)
{
    try {
        return fs.open(path, contacts::FileSystem::OpenMode::CreateNew);
    } catch (const contacts::FileError &first) {
        try {
            fs.remove(path);
        } catch (const contacts::FileError &) {
            throw first; // nothing there to take away: the first failure is the one to tell
        }
    }
    return fs.open(path, contacts::FileSystem::OpenMode::CreateNew);
}

std::error_code lastError()
{
    return std::error_code(errno ? errno : EIO, std::generic_category());
}

} // namespace

std::uint64_t exportContacts(contacts::ContactFile &file, Format format, std::ostream &out)
{
    const std::uint64_t count = exportInto(file, format, [&](const std::string &piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        if (!out)
            throw contacts::FileError(contacts::FileOp::Write, "-", lastError());
    });
    out.flush();
    if (!out)
        throw contacts::FileError(contacts::FileOp::Flush, "-", lastError());
    return count;
}

std::uint64_t exportContacts(contacts::ContactFile &file, Format format, const std::filesystem::path &destination)
{
    using contacts::FileError;
    using contacts::FileOp;
    contacts::FileSystem &fs = file.fileSystem();
    // A mistyped folder has no contacts to give: saying "0 exported" would be a lie.
    if (fs.kind(file.dataPath().parent_path()) != contacts::PathKind::Folder)
        throw FileError(FileOp::Open, file.dataPath(), std::make_error_code(std::errc::no_such_file_or_directory));
    // Written where a link leads, as the contacts are, so that the link stays a link.
    const std::filesystem::path target = fs.resolve(destination);
    // Never over the contacts themselves, whoever asks.
    if (isContactsFile(file, destination) || isContactsFile(file, target))
        throw FileError(FileOp::Open, destination, std::make_error_code(std::errc::operation_not_permitted));
    // The export is written beside the destination and takes its place only once it is
    // whole: a failure leaves the file that was there as it was.
    const std::filesystem::path temp = exportTempPath(target);
    std::optional<contacts::FileHandle> out;
    bool made = false;
    std::uint64_t offset = 0;
    try {
        const std::uint64_t count = exportInto(file, format, [&](const std::string &piece) {
            // Made on the first piece: a data file that cannot be read leaves nothing behind.
            if (!out) {
                out = openNew(fs, temp);
                made = true;
            }
            fs.write(*out, offset, piece.data(), piece.size());
            offset += piece.size();
        });
        fs.flush(*out);
        fs.close(*std::exchange(out, std::nullopt));
        fs.rename(temp, target);
        made = false;
        try {
            fs.syncFolder(target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path());
        } catch (const FileError &) {
            // The export is in place and whole; only its durability is left to the system.
        }
        return count;
    } catch (const FileError &error) {
        if (out) {
            try {
                fs.close(*out);
            } catch (const FileError &) {
            }
        }
        if (made) {
            try {
                fs.remove(temp);
            } catch (const FileError &) {
            }
        }
        // The person chose the destination and never saw the temporary name.
        if (error.path() == temp)
            throw FileError(error.op(), destination, error.code());
        throw;
    }
}

} // namespace exchange
