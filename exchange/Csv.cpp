#include "exchange/Formats.h"
#include "exchange/Text.h"

#include "contacts/Cp1252.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace exchange {

namespace {

using Column = CsvHeader::Column;

enum Kind { None, Ignored, Surname, Given, Middle, FullName, Phone, Email, Street, GroupPhone, GroupPhoneLabel,
            GroupStreet, GroupStreetLabel };
// The sorts of telephone, in the order one is chosen; addresses use home, work, other.
enum Sort { Mobile, Home, Work, Other };

// The most lines a quoted cell may span.
constexpr std::size_t kMaxCellLines = 1000;

// The rows looked at for the header: a title, notes and blank rows may stand above it.
constexpr int kHeaderSearchRows = 30;

// The header row of the program's own export.
constexpr std::string_view kOwnHeader = "Apellido,Nombre,Dirección,Teléfono,E-mail";

// ASCII lower case, accents off (Latin-1 letters in UTF-8), everything that is not a
// letter or a digit a space, runs of spaces one: "E-mail 1 - Value" -> "e mail 1 value".
std::string columnKey(std::string_view cell)
{
    static const char kUpper[] = "aaaaaaaceeeeiiiidnooooo ouuuuy s";
    static const char kLower[] = "aaaaaaaceeeeiiiidnooooo ouuuuy y";
    std::string key;
    for (std::size_t i = 0; i < cell.size(); ++i) {
        const auto c = static_cast<unsigned char>(cell[i]);
        char out = ' ';
        if (c >= 'A' && c <= 'Z')
            out = static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out = static_cast<char>(c);
        else if (c == 0xC3 && i + 1 < cell.size()) {
            const auto next = static_cast<unsigned char>(cell[++i]);
            if (next >= 0x80 && next < 0xA0)
                out = kUpper[next - 0x80];
            else if (next >= 0xA0 && next < 0xC0)
                out = kLower[next - 0xA0];
        }
        if (out != ' ' || (!key.empty() && key.back() != ' '))
            key += out;
    }
    while (!key.empty() && key.back() == ' ')
        key.pop_back();
    return key;
}

std::vector<std::string> words(const std::string &key)
{
    std::vector<std::string> list;
    std::size_t start = 0;
    while (start < key.size()) {
        std::size_t end = key.find(' ', start);
        if (end == std::string::npos)
            end = key.size();
        std::string word = key.substr(start, end - start);
        // "e-mail" is one word.
        if (word == "mail" && !list.empty() && list.back() == "e")
            list.back() = "email";
        else
            list.push_back(std::move(word));
        start = end + 1;
    }
    return list;
}

bool isNumber(const std::string &word)
{
    return !word.empty() && word.find_first_not_of("0123456789") == std::string::npos;
}

bool hasAny(const std::vector<std::string> &list, std::initializer_list<std::string_view> wanted)
{
    for (const std::string &word : list)
        for (std::string_view w : wanted)
            if (word == w)
                return true;
    return false;
}

bool isOneOf(const std::string &key, std::initializer_list<std::string_view> keys)
{
    for (std::string_view k : keys)
        if (key == k)
            return true;
    return false;
}

int sortOf(const std::vector<std::string> &list, int otherwise)
{
    if (hasAny(list, {"mobile", "movil", "cell", "celular", "cellular", "iphone", "mobil"}))
        return Mobile;
    if (hasAny(list, {"home", "particular", "casa", "domicilio", "residencia", "personal", "fijo", "private"}))
        return Home;
    if (hasAny(list, {"work", "business", "trabajo", "oficina", "company", "empresa", "organizacion", "centralita",
                      "office"}))
        return Work;
    if (hasAny(list, {"other", "otro", "otra", "otros"}))
        return Other;
    return otherwise;
}

// What a header cell names. The exports of Outlook (English and Spanish), Google
// Contacts (today's and the older), Thunderbird, Yahoo and Apple's, and a sheet's
// own Spanish columns.
Column classify(std::string_view cell)
{
    const std::string key = columnKey(cell);
    const std::vector<std::string> list = words(key);
    Column c;
    if (list.empty())
        return c;
    // Google's numbered groups: "Phone 1 - Label", "Phone 1 - Value", "Address 1 - Street"...
    if (list.size() >= 3 && isNumber(list[1]) && isOneOf(list[0], {"phone", "email", "address"})) {
        c.group = std::stoi(list[1].substr(0, 4));
        const std::vector<std::string> rest(list.begin() + 2, list.end());
        const bool label = rest.size() == 1 && (rest[0] == "label" || rest[0] == "type");
        if (list[0] == "phone")
            c.kind = label ? GroupPhoneLabel : rest.size() == 1 && rest[0] == "value" ? GroupPhone : None;
        else if (list[0] == "email")
            c.kind = label ? Ignored : rest.size() == 1 && rest[0] == "value" ? Email : None;
        else if (label)
            c.kind = GroupStreetLabel;
        else if (rest.size() == 1 && rest[0] == "street")
            c.kind = GroupStreet, c.rank = 1;
        else if (rest.size() == 2 && rest[0] == "extended" && rest[1] == "address")
            c.kind = GroupStreet, c.rank = 2;
        return c;
    }
    if (isOneOf(key, {"apellido", "apellidos", "last name", "last", "surname", "family name", "lastname",
                      "primer apellido", "segundo apellido", "apellido 1", "apellido 2", "apellido paterno",
                      "apellido materno"}))
        c.kind = Surname;
    else if (isOneOf(key, {"nombre", "first name", "first", "given name", "firstname", "nombre de pila", "forename"}))
        c.kind = Given;
    else if (isOneOf(key, {"middle name", "middle", "additional name", "segundo nombre", "otros nombres"}))
        c.kind = Middle;
    else if (isOneOf(key, {"name", "full name", "display name", "nombre completo", "nombre y apellidos",
                           "apellidos y nombre", "nombre para mostrar", "nombre mostrado", "fullname", "contacto"}))
        c.kind = FullName;
    // Yahoo names its telephone columns by their sort alone; Outlook's Spanish home
    // telephone is "Particular".
    else if (isOneOf(key, {"home", "work", "mobile", "other", "primary", "particular", "movil", "celular", "tel"}))
        c.kind = Phone, c.sort = sortOf(list, Other);
    // Columns that only describe another (its type, its label) or sort the contacts.
    else if (isOneOf(key, {"labels", "group membership", "file as", "categories", "category", "categoria",
                           "categorias", "grupo", "grupos", "priority", "sensitivity", "private", "prioridad",
                           "confidencialidad", "privado", "internet free busy", "disponibilidad en internet"}))
        c.kind = Ignored;
    else if (hasAny(list, {"fax", "pager", "localizador", "busca", "label", "type", "tipo", "display", "mostrar",
                           "yomi", "phonetic", "id"}))
        c.kind = hasAny(list, {"email", "correo", "mail", "phone", "telefono", "address", "direccion"}) ? Ignored : None;
    else if (hasAny(list, {"email", "correo", "mail"}))
        c.kind = Email;
    else if (hasAny(list, {"phone", "telephone", "telefono", "telefonos", "tel", "movil", "mobile", "cell",
                           "celular", "cellular"}))
        c.kind = Phone, c.sort = sortOf(list, Other);
    else if (hasAny(list, {"street", "calle", "address", "direccion", "domicilio", "addr"})
             && !hasAny(list, {"city", "state", "zip", "zipcode", "postal", "code", "country", "region", "pais",
                               "ciudad", "provincia", "codigo", "po", "box", "apartado", "localidad", "poblacion",
                               "formatted", "web", "page", "pagina", "extended"})) {
        c.kind = Street;
        c.sort = sortOf(list, Home);
        if (c.sort == Mobile)
            c.sort = Home;
        // A street column is surer than an address one: Outlook gives both.
        c.rank = hasAny(list, {"street", "calle"}) ? 2 : 1;
    }
    return c;
}

bool givesField(const Column &c)
{
    return c.kind != None && c.kind != Ignored && c.kind != GroupPhoneLabel && c.kind != GroupStreetLabel;
}

enum class Read { End, Row, Unclosed };

// "\r\n", "\r\r\n" or a last "\r": the end of the line, not a character of a cell.
bool isLineEnd(std::string_view rest)
{
    const std::size_t other = rest.find_first_not_of('\r');
    return other == std::string_view::npos || (other == rest.size() - 1 && rest.back() == '\n');
}

// One record's cells (bytes), across lines when a quoted cell holds line ends. A
// quote left open at the end of the text gives its lines back, but the first.
Read readRecord(LineReader &lines, char separator, std::vector<std::string> &cells, std::uint64_t &start)
{
    std::string line;
    if (!lines.next(line))
        return Read::End;
    start = lines.number();
    cells.assign(1, std::string());
    std::vector<std::pair<std::uint64_t, std::string>> further;
    bool quoted = false;
    bool cellStart = true;
    std::size_t i = 0;
    while (true) {
        if (i == line.size()) {
            if (!quoted)
                return Read::Row; // the last line, without a line end
            // A cell of notes spans a few lines; a quote still open after a thousand
            // is a stray one, and reading every later row to the end would take hours.
            if (further.size() == kMaxCellLines || !lines.next(line)) {
                lines.giveBack(std::move(further));
                return Read::Unclosed;
            }
            further.emplace_back(lines.number(), line);
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
        } else if (c == '\n' || (c == '\r' && isLineEnd(std::string_view(line).substr(i - 1)))) {
            return Read::Row; // "\n", "\r\n", "\r\r\n"
        } else {
            cells.back() += c;
            cellStart = false;
        }
    }
}

// A row's cells in its own encoding, without the apostrophe that kept a spreadsheet
// from running a cell.
void decodeRow(std::vector<std::string> &cells)
{
    bool utf8 = true;
    for (const std::string &cell : cells)
        utf8 = utf8 && isValidUtf8(cell);
    for (std::string &cell : cells) {
        if (!utf8)
            cell = contacts::decodeCp1252(cell);
        cell = withoutFormulaMarks(cell);
    }
}

bool isBlankRow(const std::vector<std::string> &cells)
{
    return cells.size() == 1 && isBlank(cells[0]);
}

void cellInto(std::string_view text, std::string &out)
{
    std::string plain;
    plain.reserve(text.size());
    // Control bytes (an old data file may hold them) are written as spaces.
    for (char c : text)
        plain += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    // Most cells hold nothing a formula begins with (control bytes are spaces by now).
    const std::string cell = plain.find_first_of("=@+-") == std::string::npos ? std::move(plain)
                                                                                : withFormulaMarks(plain);
    // Quoted whenever a reader could take the cell apart or trim it: under either
    // separator, with a quote, or with a space at either end.
    if (cell.empty()
        || (cell.find_first_of(",;\t\"") == std::string::npos && cell.front() != ' ' && cell.back() != ' ')) {
        out += cell;
        return;
    }
    out += '"';
    for (char c : cell) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string joined(const std::vector<const std::string *> &parts, std::string_view between)
{
    std::string text;
    for (const std::string *part : parts) {
        if (part->empty())
            continue;
        if (!text.empty())
            text += between;
        text += *part;
    }
    return text;
}

// One row into a contact, by one rule: surname and given name from their columns
// (middle names joined to the given name), else a full name split as FN is; the
// first telephone of mobile, home, work, other; the first e-mail; the home street,
// else the work street, else another (lines joined with ", ").
Contact contactOf(const CsvHeader &header, std::vector<std::string> &cells, Skipped &skipped)
{
    const std::size_t n = std::min(cells.size(), header.columns.size());
    const auto empty = [&](std::size_t i) { return cells[i].empty(); };
    // The sorts a row's numbered groups give themselves.
    std::vector<int> groupSort(64, -1);
    for (std::size_t i = 0; i < n; ++i) {
        const Column &c = header.columns[i];
        if ((c.kind == GroupPhoneLabel || c.kind == GroupStreetLabel) && c.group < 64 && !empty(i))
            groupSort[std::size_t(c.group)] = sortOf(words(columnKey(cells[i])), c.kind == GroupPhoneLabel ? Other : Home);
    }
    std::vector<const std::string *> surname, given;
    const std::string *full = nullptr;
    std::array<std::ptrdiff_t, 4> phone = {-1, -1, -1, -1};
    std::ptrdiff_t email = -1;
    struct Line {
        std::size_t cell;
        int sort;
        int strength;
        int order;
    };
    std::vector<Line> streets;
    for (std::size_t i = 0; i < n; ++i) {
        const Column &c = header.columns[i];
        if (c.kind == GroupPhone) {
            // Several numbers in one cell are parted by " ::: ".
            const std::size_t more = cells[i].find(" ::: ");
            if (more != std::string::npos) {
                ++skipped[header.names[i]];
                cells[i].erase(more);
            }
        }
        if (empty(i))
            continue;
        const int group = c.group < 64 ? groupSort[std::size_t(c.group)] : -1;
        switch (c.kind) {
        case Surname: surname.push_back(&cells[i]); break;
        case Given:
        case Middle: given.push_back(&cells[i]); break;
        case FullName:
            if (!full)
                full = &cells[i];
            break;
        case Phone:
        case GroupPhone: {
            int sort = c.kind == Phone ? c.sort : group >= 0 ? group : Other;
            if (phone[std::size_t(sort)] < 0)
                phone[std::size_t(sort)] = std::ptrdiff_t(i);
            break;
        }
        case Email:
            if (email < 0)
                email = std::ptrdiff_t(i);
            break;
        case Street:
            streets.push_back({i, c.sort, c.rank, 0});
            break;
        case GroupStreet: {
            int sort = group >= 0 ? group : Home;
            streets.push_back({i, sort == Mobile ? Home : sort, 2, c.group * 4 + c.rank});
            break;
        }
        case None: ++skipped[header.names[i]]; break;
        default: break;
        }
    }
    for (std::size_t i = n; i < cells.size(); ++i)
        if (!cells[i].empty())
            ++skipped["(columna " + std::to_string(i + 1) + ")"];

    Contact contact;
    auto &f = contact.fields;
    f.Apellido = joined(surname, " ");
    f.Nombre = joined(given, " ");
    if (f.Apellido.empty() && f.Nombre.empty() && full) {
        const auto space = full->find(' ');
        if (space == std::string::npos) {
            f.Apellido = *full;
        } else {
            f.Nombre = full->substr(0, space);
            f.Apellido = full->substr(space + 1);
        }
    }
    std::ptrdiff_t chosenPhone = -1;
    for (std::ptrdiff_t p : phone)
        if (chosenPhone < 0)
            chosenPhone = p;
    if (chosenPhone >= 0)
        f.Telefono = cells[std::size_t(chosenPhone)];
    if (email >= 0)
        f.Email = cells[std::size_t(email)];
    int addressSort = -1;
    int strength = 0;
    for (int sort : {Home, Work, Other}) {
        for (const Line &line : streets)
            if (line.sort == sort && line.strength > strength)
                strength = line.strength;
        if (strength > 0) {
            addressSort = sort;
            break;
        }
    }
    std::vector<const std::string *> lines;
    for (const Line &line : streets)
        if (line.sort == addressSort && line.strength == strength)
            lines.push_back(&cells[line.cell]);
    f.Direccion = joined(lines, ", ");
    // Whatever of these was not taken is counted by its column.
    for (std::size_t i = 0; i < n; ++i) {
        const int kind = header.columns[i].kind;
        if (empty(i))
            continue;
        if (((kind == Phone || kind == GroupPhone) && std::ptrdiff_t(i) != chosenPhone)
            || (kind == Email && std::ptrdiff_t(i) != email))
            ++skipped[header.names[i]];
        else if (kind == Street || kind == GroupStreet) {
            bool used = false;
            for (const Line &line : streets)
                used = used || (line.cell == i && line.sort == addressSort && line.strength == strength);
            if (!used)
                ++skipped[header.names[i]];
        }
    }
    return contact;
}

} // namespace

void writeCsvHeader(std::string &out)
{
    out += "﻿";
    out += kOwnHeader;
    out += "\r\n";
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

bool spreadsheetWouldRun(std::string_view cell)
{
    // The marks themselves and spaces before the formula do not stop a spreadsheet,
    // and counting them here makes a mark that was written come off again exactly.
    const std::size_t start = cell.find_first_not_of("' ");
    if (start == std::string_view::npos)
        return false;
    const std::string_view text = cell.substr(start);
    const char c = text[0];
    if (c == '=' || c == '@' || c == '\t' || c == '\r')
        return true;
    if (c != '+' && c != '-')
        return false;
    // "+34 600 111 222" is a telephone number, not a sum; "+1-1" is a sum.
    const std::string_view rest = text.substr(1);
    return rest.find_first_not_of("0123456789 ") != std::string_view::npos
        || rest.find_first_of("0123456789") == std::string_view::npos;
}

namespace {

// Calls `piece` with the start of each piece of `cell` that a spreadsheet splitting
// on ',' or ';' would make a cell of its own.
template <typename Piece>
void forEachPiece(std::string_view cell, Piece piece)
{
    std::size_t start = 0;
    while (true) {
        piece(start);
        const std::size_t next = cell.find_first_of(",;", start);
        if (next == std::string_view::npos)
            return;
        start = next + 1;
    }
}

} // namespace

std::string withFormulaMarks(std::string_view cell)
{
    std::string out;
    out.reserve(cell.size() + 1);
    std::size_t copied = 0;
    forEachPiece(cell, [&](std::size_t start) {
        const std::size_t end = std::min(cell.find_first_of(",;", start), cell.size());
        if (spreadsheetWouldRun(cell.substr(start, end - start))) {
            out.append(cell.substr(copied, start - copied));
            out += '\'';
            copied = start;
        }
    });
    out.append(cell.substr(copied));
    return out;
}

std::string withoutFormulaMarks(std::string_view cell)
{
    std::string out;
    out.reserve(cell.size());
    std::size_t copied = 0;
    forEachPiece(cell, [&](std::size_t start) {
        const std::size_t end = std::min(cell.find_first_of(",;", start), cell.size());
        const std::string_view piece = cell.substr(start, end - start);
        if (!piece.empty() && piece[0] == '\'' && spreadsheetWouldRun(piece)) {
            out.append(cell.substr(copied, start - copied));
            copied = start + 1;
        }
    });
    out.append(cell.substr(copied));
    return out;
}

namespace {

// The program's own export is known by its first row, whatever its other rows hold:
// a contact whose fields are full of ';' must not pass for a header under ';'.
bool ownCsvHeader(std::istream &in, CsvHeader &header)
{
    const std::streampos begin = in.tellg();
    LineReader lines(in);
    std::string line;
    const bool own = lines.next(line) && withoutEnd(line) == kOwnHeader;
    in.clear();
    in.seekg(begin);
    if (!own)
        return false;
    header.separator = ',';
    header.line = 1;
    header.names = {"Apellido", "Nombre", "Dirección", "Teléfono", "E-mail"};
    header.columns.clear();
    header.known = 0;
    for (const std::string &name : header.names) {
        header.columns.push_back(classify(name));
        header.known += givesField(header.columns.back()) ? 1 : 0;
    }
    return true;
}

} // namespace

bool findCsvHeader(std::istream &in, CsvHeader &header, std::vector<std::string> &found)
{
    if (ownCsvHeader(in, header))
        return true;
    const std::streampos begin = in.tellg();
    bool have = false;
    std::size_t widest = 0;
    for (char separator : {',', ';', '\t'}) {
        in.clear();
        in.seekg(begin);
        LineReader lines(in);
        std::vector<std::string> cells;
        std::uint64_t start = 0;
        int rows = 0;
        Read read;
        while (rows < kHeaderSearchRows && (read = readRecord(lines, separator, cells, start)) != Read::End) {
            if (read == Read::Unclosed || isBlankRow(cells))
                continue;
            ++rows;
            decodeRow(cells);
            if (rows == 1 && cells.size() > widest) {
                widest = cells.size();
                found = cells;
            }
            int known = 0;
            std::vector<Column> columns;
            for (const std::string &cell : cells) {
                columns.push_back(classify(cell));
                known += givesField(columns.back()) ? 1 : 0;
            }
            if (known > header.known || (have && known == header.known && known > 0 && start < header.line)) {
                header.known = known;
                header.line = start;
                header.separator = separator;
                header.columns = std::move(columns);
                header.names.clear();
                for (const std::string &cell : cells)
                    header.names.push_back(cell.empty() ? "(sin título)" : std::string(trimBlanks(cell)));
                have = true;
            }
        }
    }
    in.clear();
    in.seekg(begin);
    for (std::string &cell : found)
        cell = std::string(trimBlanks(cell));
    return have;
}

void readCsv(LineReader &lines, const CsvHeader &header, const ContactSink &sink, Skipped &skipped, Problems &problems)
{
    std::vector<std::string> cells;
    std::uint64_t start = 0;
    Read read;
    while ((read = readRecord(lines, header.separator, cells, start)) != Read::End) {
        if (read == Read::Unclosed) {
            problems.push_back({start, "comillas sin cerrar", "se omite esta fila"});
            continue;
        }
        if (start <= header.line || isBlankRow(cells))
            continue;
        decodeRow(cells);
        Contact contact = contactOf(header, cells, skipped);
        contact.line = start;
        sink(std::move(contact));
    }
}

std::string knownCsvColumnNames()
{
    return "Apellidos, Nombre, Segundo nombre, Nombre completo, Teléfono, Teléfono móvil, Móvil, "
           "Particular, Teléfono del trabajo, Domicilio, Dirección, Calle del domicilio, "
           "Correo electrónico, E-mail; y las de Outlook, Google Contacts, Thunderbird, Yahoo y Apple: "
           "Last Name, First Name, Middle Name, Name, Display Name, Mobile Phone, Home Phone, Business Phone, "
           "Phone 1 - Value, E-mail Address, Primary Email, E-mail 1 - Value, Home Street, Business Street, "
           "Home Address, Address 1 - Street";
}

} // namespace exchange
