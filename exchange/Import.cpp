#include "exchange/Import.h"
#include "exchange/Text.h"

#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"

namespace exchange {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct Scan {
    bool bom = false;
    bool utf8 = true;
    bool blank = true;
};

// One pass over the whole file before reading it: a file is taken as UTF-8 only
// when all of it is.
Scan scan(std::istream &in)
{
    Scan result;
    std::string chunk(std::size_t(1) << 16, '\0');
    Utf8Check check;
    bool first = true;
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        std::string_view piece(chunk.data(), std::size_t(in.gcount()));
        if (first && piece.substr(0, 3) == kBom) {
            result.bom = true;
            piece.remove_prefix(3);
        }
        first = false;
        check.add(piece);
        if (result.blank && !isBlank(piece))
            result.blank = false;
    }
    if (in.bad())
        throw ImportError(0, "no se puede leer");
    result.utf8 = check.finish();
    return result;
}

void rewind(std::istream &in, const Scan &scanned)
{
    in.clear();
    in.seekg(scanned.bom ? 3 : 0);
    if (!in)
        throw ImportError(0, "no se puede leer");
}

const char *const kFieldNames[] = {"Apellido", "Nombre", "Direcci\u00f3n", "Tel\u00e9fono", "E-mail"};
// Dirección is the one feminine field name.
bool feminine(std::size_t f)
{
    return f == 2;
}

} // namespace

LineReader::LineReader(std::istream &in, bool cp1252)
    : m_in(in)
    , m_cp1252(cp1252)
{
}

bool LineReader::next(std::string &line)
{
    if (!std::getline(m_in, m_raw))
        return false;
    if (!m_in.eof())
        m_raw += '\n';
    ++m_number;
    if (m_cp1252)
        line = contacts::decodeCp1252(m_raw);
    else
        line.swap(m_raw);
    return true;
}

std::string_view withoutEnd(std::string_view line)
{
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
    }
    return line;
}

ImportResult readContacts(std::istream &in)
{
    const Scan scanned = scan(in);
    if (scanned.blank)
        throw ImportError(1, "el archivo est\xC3\xA1 vac\xC3\xADo");

    // The first line that is not blank tells the format.
    rewind(in, scanned);
    ImportResult result;
    char separator = ',';
    {
        LineReader lines(in, !scanned.utf8);
        std::string line;
        while (lines.next(line) && isBlank(line)) {
        }
        if (equalsIgnoreCase(trimBlanks(line), "BEGIN:VCARD")) {
            result.format = Format::VCard;
        } else {
            const int commas = knownCsvColumns(withoutEnd(line), ',');
            const int semicolons = knownCsvColumns(withoutEnd(line), ';');
            if (commas == 0 && semicolons == 0)
                throw ImportError(lines.number(), "no es un archivo vCard ni CSV");
            result.format = Format::Csv;
            separator = semicolons > commas ? ';' : ',';
        }
    }

    rewind(in, scanned);
    LineReader lines(in, !scanned.utf8);
    const ContactSink sink = [&](Contact &&contact) {
        // Refused here rather than after filling the memory: the data file cannot take them.
        if (result.records.size() == contacts::kMaxRecords)
            throw ImportError(contact.line, "m\xC3\xA1s contactos de los que caben en personas.dat ("
                                                + std::to_string(contacts::kMaxRecords) + ")");
        result.records.push_back(store(contact, result.report));
    };
    if (result.format == Format::VCard)
        readVCards(lines, sink, result.skipped);
    else
        readCsv(lines, separator, sink, result.skipped);
    if (in.bad())
        throw ImportError(lines.number(), "no se puede leer");
    return result;
}

contacts::Record store(const Contact &contact, std::vector<std::string> &report)
{
    contacts::Record record;
    std::string notes;
    for (std::size_t f = 0; f < 5; ++f) {
        const std::string &text = contacts::field(contact.fields, f);
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
        notes += std::string(kFieldNames[f]) + (feminine(f) ? " guardada" : " guardado") + " como \xC2\xAB" + shown
            + "\xC2\xBB (";
        if (cut)
            notes += std::string(feminine(f) ? "cortada" : "cortado") + " a " + std::to_string(width) + " caracteres";
        if (cut && replaced)
            notes += ", ";
        if (replaced)
            notes += "\xC2\xAB?\xC2\xBB en lugar de caracteres que Windows-1252 no tiene";
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
        report.push_back("l\xC3\xADnea " + std::to_string(contact.line) + ", \xC2\xAB" + printable(name) + "\xC2\xBB" + notes);
    }
    return record;
}

} // namespace exchange
