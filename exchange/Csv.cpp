#include "exchange/Formats.h"
#include "exchange/Text.h"

#include <vector>

namespace exchange {

namespace {

void cellInto(std::string_view text, std::string &out)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

// Lower case without accents or blanks around: how a header cell is matched.
std::string headerKey(std::string_view cell)
{
    cell = trimBlanks(cell);
    std::string key;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const auto c = static_cast<unsigned char>(cell[i]);
        // The accented vowels of the column names, in UTF-8 (U+00C1 to U+00FA).
        if (c == 0xC3 && i + 1 < cell.size()) {
            switch (static_cast<unsigned char>(cell[i + 1])) {
            case 0x81: case 0xA1: key += 'a'; ++i; continue;
            case 0x89: case 0xA9: key += 'e'; ++i; continue;
            case 0x8D: case 0xAD: key += 'i'; ++i; continue;
            case 0x93: case 0xB3: key += 'o'; ++i; continue;
            case 0x9A: case 0xBA: key += 'u'; ++i; continue;
            }
        }
        key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
    }
    return key;
}

// One record: its cells, across lines when a quoted cell holds line ends. False at
// the end of the text. Throws ImportError for a quote left open.
bool readRecord(LineReader &lines, char separator, std::vector<std::string> &cells, std::uint64_t &start)
{
    std::string line;
    if (!lines.next(line))
        return false;
    start = lines.number();
    cells.assign(1, std::string());
    bool quoted = false;
    bool cellStart = true;
    std::size_t i = 0;
    while (true) {
        if (i == line.size()) {
            if (!quoted)
                return true; // the last line, without a line end
            if (!lines.next(line))
                throw ImportError(start, "comillas sin cerrar");
            i = 0;
            continue;
        }
        const char c = line[i++];
        if (quoted) {
            if (c != '"')
                cells.back() += c;
            else if (i < line.size() && line[i] == '"')
                cells.back() += '"', ++i;
            else
                quoted = false;
            continue;
        }
        if (c == '"' && cellStart) {
            quoted = true;
            cellStart = false;
        } else if (c == separator) {
            cells.emplace_back();
            cellStart = true;
        } else if (c == '\n' || (c == '\r' && i + 1 == line.size() && line[i] == '\n')) {
            return true;
        } else {
            cells.back() += c;
            cellStart = false;
        }
    }
}

} // namespace

void writeCsvHeader(std::string &out)
{
    out += "\xEF\xBB\xBF" "Apellido,Nombre,Direcci\xC3\xB3n,Tel\xC3\xA9" "fono,E-mail\r\n";
}

void writeCsvRow(const contacts::Persona &p, std::string &out)
{
    for (std::size_t f = 0; f < 5; ++f) {
        if (f > 0)
            out += ',';
        cellInto(contacts::field(p, f), out);
    }
    out += "\r\n";
}

int csvColumnField(std::string_view header)
{
    const std::string key = headerKey(header);
    if (key == "apellido" || key == "apellidos")
        return 0;
    if (key == "nombre")
        return 1;
    if (key == "direccion")
        return 2;
    if (key == "telefono")
        return 3;
    if (key == "e-mail" || key == "email" || key == "correo" || key == "correo electronico")
        return 4;
    return -1;
}

int knownCsvColumns(std::string_view line, char separator)
{
    int known = 0;
    bool quoted = false;
    std::string cell;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : separator;
        if (c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            known += csvColumnField(cell) >= 0 ? 1 : 0;
            cell.clear();
        } else {
            cell += c;
        }
    }
    return known;
}

void readCsv(LineReader &lines, char separator, const ContactSink &sink, Skipped &skipped)
{
    std::vector<std::string> cells;
    std::uint64_t start = 0;
    // The header: which cell goes to which field; a field named twice takes the first.
    std::vector<int> column;
    std::vector<std::string> names;
    while (readRecord(lines, separator, cells, start)) {
        if (cells.size() == 1 && isBlank(cells[0]))
            continue;
        bool taken[5] = {};
        for (const std::string &cell : cells) {
            const int f = csvColumnField(cell);
            column.push_back(f >= 0 && !taken[f] ? f : -1);
            if (f >= 0)
                taken[f] = true;
            names.push_back(std::string(trimBlanks(cell)));
        }
        break;
    }
    while (readRecord(lines, separator, cells, start)) {
        if (cells.size() == 1 && cells[0].empty())
            continue;
        Contact contact;
        contact.line = start;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i < column.size() && column[i] >= 0)
                contacts::field(contact.fields, std::size_t(column[i])) = std::move(cells[i]);
            else if (!cells[i].empty())
                ++skipped[i < names.size() && !names[i].empty() ? names[i] : "(columna " + std::to_string(i + 1) + ")"];
        }
        sink(std::move(contact));
    }
}

} // namespace exchange
