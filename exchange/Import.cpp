#include "exchange/Import.h"
#include "exchange/Report.h"
#include "exchange/Text.h"

#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <utility>

namespace exchange {

namespace {

constexpr std::string_view kBom = "﻿";
constexpr std::uint64_t kProgressStep = std::uint64_t(1) << 20;

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

// The first line of `in` that is neither blank nor a comment, and its number; empty
// at the end of the file.
std::string firstLine(std::istream &in, std::uint64_t &number)
{
    LineReader lines(in);
    std::string line;
    while (lines.next(line)) {
        if (!isBlank(line) && line[0] != '#') {
            number = lines.number();
            return line;
        }
    }
    return {};
}

std::string quoted(const std::string &text)
{
    return "«" + printable(text) + "»";
}

const char *const kFieldNames[] = {"Apellido", "Nombre", "Dirección", "Teléfono", "E-mail"};
// Dirección is the one feminine field name.
bool feminine(std::size_t f)
{
    return f == 2;
}

} // namespace

LineReader::LineReader(std::istream &in, Progress progress)
    : m_in(in)
    , m_progress(std::move(progress))
{
}

bool LineReader::next(std::string &line)
{
    if (!m_given.empty()) {
        m_number = m_given.back().first;
        line = std::move(m_given.back().second);
        m_given.pop_back();
        return true;
    }
    if (!std::getline(m_in, line))
        return false;
    if (!m_in.eof())
        line += '\n';
    ++m_number;
    m_bytes += line.size();
    if (m_progress && m_bytes - m_reported >= kProgressStep) {
        m_reported = m_bytes;
        m_progress(m_bytes);
    }
    return true;
}

void LineReader::giveBack(std::vector<std::pair<std::uint64_t, std::string>> lines)
{
    // After them comes the stream's next line again, numbered on from the last.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
        m_given.push_back(std::move(*it));
}

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
        throw ImportError(0, "no se puede leer");
    std::string utf16(mark, got);
    std::string utf8;
    if (fromUtf16(utf16, utf8)) {
        utf16.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad())
            throw ImportError(0, "no se puede leer");
        fromUtf16(utf16, utf8);
        std::istringstream text(utf8);
        return readContacts(text, progress);
    }
    in.clear();
    in.seekg(std::string_view(mark, got) == kBom ? 3 : 0);
    const std::streampos begin = in.tellg();
    if (!in)
        throw ImportError(0, "no se puede leer");

    ImportResult result;
    std::uint64_t firstNumber = 0;
    const std::string first = firstLine(in, firstNumber);
    if (in.bad())
        throw ImportError(0, "no se puede leer");
    if (first.empty())
        throw ImportError(1, "el archivo está vacío");
    CsvHeader header;
    if (equalsIgnoreCase(trimBlanks(first), "BEGIN:VCARD")) {
        result.format = Format::VCard;
    } else {
        in.clear();
        in.seekg(begin);
        std::vector<std::string> found;
        if (!findCsvHeader(in, header, found)) {
            const std::string_view line = withoutEnd(first);
            const bool text = line.find('\0') == std::string_view::npos;
            if (!text || line.find_first_of(",;\t") == std::string_view::npos)
                throw ImportError(firstNumber, "no es un archivo vCard ni CSV");
            std::string names;
            for (const std::string &name : found)
                names += (names.empty() ? "" : ", ") + quoted(name);
            throw ImportError(firstNumber, "ninguna columna de este CSV nombra un dato de contacto. Sus columnas: "
                                               + names + ". Se leen, entre otras: " + knownCsvColumnNames());
        }
        result.format = Format::Csv;
    }

    in.clear();
    in.seekg(begin);
    LineReader lines(in, progress);
    const ContactSink sink = [&](Contact &&contact) {
        // Refused here rather than after filling the memory: the data file cannot take them.
        if (result.records.size() == contacts::kMaxRecords)
            throw ImportError(contact.line, "más contactos de los que caben en personas.dat ("
                                                + std::to_string(contacts::kMaxRecords) + ")");
        result.records.push_back(store(contact, result.report));
    };
    if (result.format == Format::VCard)
        readVCards(lines, sink, result.skipped, result.problems);
    else
        readCsv(lines, header, sink, result.skipped, result.problems);
    if (in.bad())
        throw ImportError(lines.number(), "no se puede leer");
    if (result.records.empty()) {
        if (!result.problems.empty())
            throw ImportError(result.problems[0].line, result.problems[0].text);
        throw ImportError(header.line, "no hay ningún contacto debajo de la fila de títulos");
    }
    return result;
}

contacts::Record store(const Contact &contact, std::vector<std::string> &report)
{
    contacts::Record record;
    std::string notes;
    for (std::size_t f = 0; f < 5; ++f) {
        // No line break or other control character is stored: they would reach every
        // export and every reader of the file.
        const std::string text = withoutControls(contacts::field(contact.fields, f), f == 2 ? ", " : " ");
        const std::size_t width = contacts::kFieldWidths[f];
        char *out = record.data() + contacts::kFieldOffsets[f];
        std::size_t stored = 0;
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
        }
        std::fill(out + stored, out + width, ' ');
        if (!cut && !replaced)
            continue;
        const std::string shown = printable(contacts::decodeCp1252(contacts::trimSpaces(std::string_view(out, width))));
        notes += notes.empty() ? ": " : "; ";
        notes += std::string(kFieldNames[f]) + (feminine(f) ? " guardada" : " guardado") + " como «" + shown
            + "» (";
        if (cut)
            notes += std::string(feminine(f) ? "cortada" : "cortado") + " a " + std::to_string(width) + " caracteres";
        if (cut && replaced)
            notes += ", ";
        if (replaced)
            notes += "«?» en lugar de caracteres que Windows-1252 no tiene";
        notes += ")";
    }
    if (!notes.empty()) {
        const std::string_view given = contacts::trimSpaces(contact.fields.Nombre);
        const std::string_view surname = contacts::trimSpaces(contact.fields.Apellido);
        std::string name(given.empty() ? surname : given);
        if (!given.empty() && !surname.empty())
            name += " " + std::string(surname);
        if (name.empty())
            name = "sin nombre";
        report.push_back("línea " + std::to_string(contact.line) + ", «" + printable(name) + "»" + notes);
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
    RecordSet seen(existing.size() + records.size());
    for (const contacts::Record &record : existing) {
        step();
        seen.insert(record.data());
    }
    // Kept records move down over the left-out ones; the set points at their new places.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        step();
        if (kept != i)
            records[kept] = records[i];
        if (seen.insert(records[kept].data()))
            ++kept;
        else
            ++preview.duplicates;
    }
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
    std::error_code folderError;
    if (!std::filesystem::is_directory(file.dataPath().parent_path(), folderError))
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
