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

enum Kind { None, Ignored, Surname, Given, Middle, FullName, Company, Phone, Email, Street, GroupPhone,
            GroupPhoneLabel, GroupEmail, GroupEmailLabel, GroupStreet, GroupStreetLabel };

// The most lines, and bytes, a quoted cell may span; beyond them its quote is taken
// for a stray one.
constexpr std::size_t kMaxCellLines = 1000;
constexpr std::size_t kMaxRecordBytes = 1 << 20;
// A cell longer than this is more than any field could use: skipped, not kept.
constexpr std::size_t kMaxCell = 4096;

// The rows looked at for the header: a title, notes and blank rows may stand above
// it; and the bytes read for it at most, whatever the rows hold.
constexpr int kHeaderSearchRows = 30;
constexpr std::uint64_t kHeaderSearchBytes = 1 << 20;
// The rows under a header that must split into its columns for it to be taken.
constexpr int kRowsChecked = 10;

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

// "e mail" is one word; numbers ("E-mail 2 Address", "Home Street 2") are taken out
// and given back as `number`.
std::string baseKey(const std::string &key, int &number)
{
    std::string base;
    number = 0;
    std::size_t start = 0;
    while (start <= key.size() && !key.empty()) {
        std::size_t end = key.find(' ', start);
        if (end == std::string::npos)
            end = key.size();
        const std::string word = key.substr(start, end - start);
        if (!word.empty() && word.size() <= 3 && word.find_first_not_of("0123456789") == std::string::npos) {
            number = std::stoi(word);
        } else if (word == "mail" && base.size() >= 1 && base.back() == 'e'
                   && (base.size() == 1 || base[base.size() - 2] == ' ')) {
            base += "mail";
        } else if (!word.empty()) {
            base += (base.empty() ? "" : " ") + word;
        }
        start = end + 1;
    }
    return base;
}

// Every header the reader knows, by its whole folded name: the exports of Outlook
// (English and Spanish), Google Contacts, Thunderbird, Yahoo, Apple's exporters, Zoho,
// Salesforce, LinkedIn, and a sheet's own Spanish columns. A name is known whole or
// not at all: "Email Opt Out" or "Phone Type" supply nothing.
class Names {
public:
    Names()
    {
        for (const char *k : {"apellido", "apellidos", "last name", "last", "surname", "family name", "lastname",
                              "primer apellido", "segundo apellido", "apellido paterno", "apellido materno", "sn"})
            add(k, Surname);
        for (const char *k : {"nombre", "first name", "first", "given name", "firstname", "givenname",
                              "nombre de pila", "forename", "nombres"})
            add(k, Given);
        for (const char *k : {"middle name", "middle", "additional name", "additional names", "segundo nombre",
                              "otros nombres"})
            add(k, Middle);
        for (const char *k : {"name", "full name", "display name", "displayname", "nombre completo",
                              "nombre y apellidos", "apellidos y nombre", "nombre para mostrar", "nombre mostrado",
                              "fullname", "contacto", "contact", "contact name", "nombre del contacto",
                              "formatted name", "cn"})
            add(k, FullName);
        for (const char *k : {"company", "company name", "organization", "organisation", "organization name",
                              "org", "empresa", "organizacion", "compania", "nombre de la empresa", "account name",
                              "account"})
            add(k, Company);

        const std::pair<const char *, int> phoneSorts[] = {
            {"mobile", Mobile}, {"cell", Mobile}, {"cellular", Mobile}, {"movil", Mobile}, {"celular", Mobile},
            {"iphone", Mobile}, {"mobil", Mobile}, {"home", Home}, {"particular", Home}, {"casa", Home},
            {"domicilio", Home}, {"personal", Home}, {"fijo", Home}, {"private", Home}, {"work", Work},
            {"business", Work}, {"trabajo", Work}, {"oficina", Work}, {"office", Work}, {"company", Work},
            {"company main", Work}, {"main", Work}, {"empresa", Work}, {"principal de la compania", Work},
            {"other", OtherPhone}, {"otro", OtherPhone}, {"car", OtherPhone}, {"radio", OtherPhone},
            {"callback", OtherPhone}, {"assistant", OtherPhone}, {"assistant s", OtherPhone}, {"asst", OtherPhone},
            {"asistente", OtherPhone}, {"automovil", OtherPhone}, {"alternate", OtherPhone},
            {"fax", FaxLike}, {"home fax", FaxLike}, {"business fax", FaxLike}, {"work fax", FaxLike},
            {"other fax", FaxLike}, {"pager", FaxLike}, {"localizador", FaxLike}, {"busca", FaxLike},
            {"telex", FaxLike}, {"isdn", FaxLike}, {"rdsi", FaxLike}, {"tty tdd", FaxLike}, {"modem", FaxLike}};
        for (const char *p : {"phone", "telephone", "tel", "telefono", "phone number", "telephone number",
                              "numero de telefono", "number", "numero"}) {
            add(p, Phone, OtherPhone);
            for (const auto &[sort, value] : phoneSorts)
                for (const char *form : {"%s %p", "%p %s", "%p del %s", "%p de %s", "%p de la %s"})
                    add(compose(form, sort, p), Phone, value);
            for (const char *primary : {"primary", "principal"})
                for (const char *form : {"%s %p", "%p %s"})
                    add(compose(form, primary, p), Phone, OtherPhone, 0, true);
        }
        for (const char *k : {"home", "work", "mobile", "other", "particular", "movil", "celular", "cell", "fax",
                              "pager", "localizador", "telex", "radiotelefono", "devolucion de llamada",
                              "fax particular", "fax del trabajo", "otro fax"}) {
            int sort = OtherPhone;
            for (const auto &[word, value] : phoneSorts)
                if (std::string_view(k) == word)
                    sort = value;
            if (std::string_view(k).substr(0, 3) == "fax" || std::string_view(k) == "otro fax")
                sort = FaxLike;
            add(k, Phone, sort);
        }
        add("primary", Phone, OtherPhone, 0, true);

        const char *emailSorts[] = {"home", "work", "business", "personal", "particular", "trabajo", "other",
                                    "otro", "secondary", "alternate", "segundo", "secundario", "alternativo"};
        for (const char *e : {"email", "email address", "mail", "correo", "correo electronico",
                              "direccion de correo electronico", "direccion de correo", "direccion email",
                              "direccion de email"}) {
            add(e, Email);
            for (const char *sort : emailSorts)
                for (const char *form : {"%s %p", "%p %s", "%p del %s", "%p de %s"})
                    add(compose(form, sort, e), Email);
            for (const char *primary : {"primary", "principal"})
                for (const char *form : {"%s %p", "%p %s"})
                    add(compose(form, primary, e), Email, 0, 0, true);
        }

        const std::pair<const char *, int> streetSorts[] = {
            {"home", Home}, {"particular", Home}, {"casa", Home}, {"personal", Home}, {"domicilio", Home},
            {"mailing", Home}, {"private", Home}, {"work", Work}, {"business", Work}, {"trabajo", Work},
            {"oficina", Work}, {"office", Work}, {"company", Work}, {"empresa", Work}, {"billing", Work},
            {"other", OtherPhone}, {"otro", OtherPhone}, {"otra", OtherPhone}, {"shipping", OtherPhone}};
        const std::pair<const char *, int> streetWords[] = {
            {"street", 2}, {"calle", 2}, {"street address", 2}, {"address line", 2}, {"address", 1},
            {"direccion", 1}, {"domicilio", 1}, {"direccion postal", 1}};
        for (const auto &[w, rank] : streetWords) {
            add(w, Street, Home, rank);
            for (const auto &[sort, value] : streetSorts)
                for (const char *form : {"%s %p", "%p %s", "%p del %s", "%p de %s", "%p de la %s"})
                    add(compose(form, sort, w), Street, value, rank);
        }

        for (const char *k : {"labels", "group membership", "file as", "categories", "category", "categoria",
                              "categorias", "grupo", "grupos", "priority", "sensitivity", "private", "prioridad",
                              "confidencialidad", "privado", "internet free busy", "disponibilidad en internet"})
            add(k, Ignored);
    }

    Column find(const std::string &key) const
    {
        const auto it = m_names.find(key);
        return it == m_names.end() ? Column{} : it->second;
    }

private:
    static std::string compose(const char *form, std::string_view sort, std::string_view field)
    {
        std::string out;
        for (const char *c = form; *c; ++c) {
            if (*c == '%' && c[1] == 's')
                out += sort, ++c;
            else if (*c == '%' && c[1] == 'p')
                out += field, ++c;
            else
                out += *c;
        }
        return out;
    }

    void add(const std::string &key, int kind, int sort = 0, int rank = 0, bool pref = false)
    {
        Column c;
        c.kind = kind;
        c.sort = sort;
        c.rank = rank;
        c.pref = pref;
        // The first meaning given stays: "home" is Yahoo's telephone, not a street.
        m_names.emplace(key, c);
    }

    std::map<std::string, Column> m_names;
};

const Names &names()
{
    static const Names table;
    return table;
}

bool hasWord(const std::string &key, std::initializer_list<std::string_view> wanted)
{
    std::size_t start = 0;
    while (start <= key.size()) {
        std::size_t end = key.find(' ', start);
        if (end == std::string::npos)
            end = key.size();
        const std::string_view word = std::string_view(key).substr(start, end - start);
        for (std::string_view w : wanted)
            if (word == w)
                return true;
        start = end + 1;
    }
    return false;
}

// A label's sort ("Mobile", "* Home", "Work Fax") and whether it marks the primary.
int labelSort(const std::string &label, int otherwise, bool &pref)
{
    pref = label.find('*') != std::string::npos;
    const std::string key = columnKey(label);
    if (hasWord(key, {"fax", "pager", "telex", "modem", "localizador"}))
        return FaxLike;
    if (hasWord(key, {"mobile", "cell", "movil", "celular", "iphone", "cellular"}))
        return Mobile;
    if (hasWord(key, {"home", "particular", "casa", "personal", "domicilio"}))
        return Home;
    if (hasWord(key, {"work", "business", "trabajo", "oficina", "main", "company", "office"}))
        return Work;
    if (hasWord(key, {"other", "otro", "otra"}))
        return OtherPhone;
    return otherwise;
}

// What a header cell names.
Column classify(std::string_view cell)
{
    const std::string key = columnKey(cell);
    int number = 0;
    const std::string base = baseKey(key, number);
    Column c;
    if (base.empty())
        return c;
    // Google's numbered groups: "Phone 1 - Label", "Phone 1 - Value", "Address 1 - Street"...
    const std::size_t space = base.find(' ');
    const std::string first = base.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : base.substr(space + 1);
    if (number > 0 && (first == "phone" || first == "email" || first == "address" || first == "organization")
        && !(first == "email" && rest == "address") && key.rfind(first == "email" ? "e mail " + std::to_string(number) : first + " " + std::to_string(number), 0)
            == 0) {
        c.group = number;
        const bool label = rest == "label" || rest == "type";
        if (first == "phone")
            c.kind = label ? GroupPhoneLabel : rest == "value" ? GroupPhone : None;
        else if (first == "email")
            c.kind = label ? GroupEmailLabel : rest == "value" ? GroupEmail : None;
        else if (first == "organization")
            c.kind = rest == "name" ? Company : None;
        else if (label)
            c.kind = GroupStreetLabel;
        else if (rest == "street")
            c.kind = GroupStreet, c.rank = 1;
        else if (rest == "extended address")
            c.kind = GroupStreet, c.rank = 2;
        return c;
    }
    c = names().find(base);
    c.rank = c.kind == Street ? c.rank : number;
    if (c.kind == None && hasWord(base, {"email", "correo", "mail", "phone", "telefono", "address", "direccion"})
        && hasWord(base, {"type", "label", "tipo", "display", "mostrar", "etiqueta", "status", "yomi", "phonetic"}))
        c.kind = Ignored; // describes another column
    return c;
}

bool givesField(const Column &c)
{
    return c.kind != None && c.kind != Ignored && c.kind != GroupPhoneLabel && c.kind != GroupStreetLabel
        && c.kind != GroupEmailLabel;
}

bool namesSomeone(const Column &c)
{
    return c.kind == Surname || c.kind == Given || c.kind == FullName || c.kind == Company;
}

enum class Read { End, Row, Unclosed };

// One record's cells (bytes), across lines when a quoted cell holds line ends. A
// quote left open after kMaxCellLines lines, kMaxRecordBytes bytes or at the end
// gives its lines back, but the first; those are then read each on its own, so that
// no line is read more than twice. A cell beyond kMaxCell is emptied and its place
// added to `tooLong`.
Read readRecord(LineReader &lines, char separator, std::vector<std::string> &cells, std::uint64_t &start,
                std::vector<std::size_t> &tooLong)
{
    std::string line;
    const bool alone = lines.givingBack();
    if (!lines.next(line))
        return Read::End;
    start = lines.number();
    cells.assign(1, std::string());
    tooLong.clear();
    std::vector<std::pair<std::uint64_t, std::string>> further;
    std::size_t bytes = line.size();
    bool quoted = false;
    bool cellStart = true;
    const auto put = [&](char c) {
        std::string &cell = cells.back();
        if (cell.size() < kMaxCell)
            cell += c;
        else if (tooLong.empty() || tooLong.back() != cells.size() - 1)
            tooLong.push_back(cells.size() - 1);
    };
    std::size_t i = 0;
    while (true) {
        if (i == line.size()) {
            if (!quoted)
                return Read::Row; // the last line, without a line end
            // A cell of notes spans a few lines; a quote still open after a thousand
            // is a stray one.
            if (alone || further.size() == kMaxCellLines || bytes > kMaxRecordBytes || !lines.next(line)) {
                lines.giveBack(std::move(further));
                return Read::Unclosed;
            }
            bytes += line.size();
            further.emplace_back(lines.number(), line);
            i = 0;
            continue;
        }
        const char c = line[i++];
        if (quoted) {
            if (c != '"')
                put(c);
            else if (i < line.size() && line[i] == '"')
                put('"'), ++i;
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
        } else if (c == '\n') {
            return Read::Row;
        } else {
            put(c);
            cellStart = false;
        }
    }
}

// A row's cells in its own encoding, without the apostrophe that kept a spreadsheet
// from running a cell.
void decodeRow(std::vector<std::string> &cells, LineReader &lines)
{
    bool utf8 = true;
    for (const std::string &cell : cells)
        utf8 = utf8 && isValidUtf8(cell);
    for (std::string &cell : cells) {
        if (!utf8)
            cell = lines.fallback(cell);
        cell = withoutFormulaMarks(cell);
    }
}

bool isBlankRow(const std::vector<std::string> &cells)
{
    for (const std::string &cell : cells)
        if (!isBlank(cell))
            return false;
    return true;
}

// Whether a row splits into `columns` columns: cells past them are empty.
bool fits(const std::vector<std::string> &cells, std::size_t columns)
{
    for (std::size_t i = columns; i < cells.size(); ++i)
        if (!isBlank(cells[i]))
            return false;
    return true;
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

// Several values in one cell, as Google writes them: "a ::: b".
std::vector<std::string> values(const std::string &cell)
{
    std::vector<std::string> list;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = cell.find(":::", start);
        const std::string_view one = trimBlanks(std::string_view(cell).substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (!one.empty())
            list.emplace_back(one);
        if (at == std::string::npos)
            return list;
        start = at + 3;
    }
}

// One row into what it says of a person: surname and given name from their columns
// (middle names joined to the given name), the full name, the company; every
// telephone and e-mail with its sort and preference; the home street, else the work
// street, else another (lines joined with ", "). chosen() does the rest.
Contact contactOf(const CsvHeader &header, std::vector<std::string> &cells, Skipped &skipped)
{
    const std::size_t n = std::min(cells.size(), header.columns.size());
    const auto empty = [&](std::size_t i) { return isBlank(cells[i]); };
    if (header.own) {
        Contact contact;
        contact.own = true;
        for (std::size_t f = 0; f < 5 && f < n; ++f)
            contacts::field(contact.fields, f) = cells[f];
        return contact;
    }
    // The sorts and preferences a row's numbered groups give themselves.
    struct Group {
        int sort = -1;
        bool pref = false;
    };
    std::map<int, Group> groups;
    for (std::size_t i = 0; i < n; ++i) {
        const Column &c = header.columns[i];
        if ((c.kind == GroupPhoneLabel || c.kind == GroupStreetLabel || c.kind == GroupEmailLabel) && !empty(i)) {
            Group &g = groups[c.group * 4 + (c.kind == GroupPhoneLabel ? 0 : c.kind == GroupEmailLabel ? 1 : 2)];
            g.sort = labelSort(cells[i], c.kind == GroupPhoneLabel ? OtherPhone : Home, g.pref);
        }
    }
    const auto groupOf = [&](const Column &c, int which) {
        const auto it = groups.find(c.group * 4 + which);
        return it == groups.end() ? Group{} : it->second;
    };
    Said said;
    std::vector<const std::string *> surname, given;
    struct Line {
        std::size_t cell;
        int sort;
        int strength;
    };
    std::vector<Line> streets;
    for (std::size_t i = 0; i < n; ++i) {
        const Column &c = header.columns[i];
        if (empty(i))
            continue;
        switch (c.kind) {
        case Surname: surname.push_back(&cells[i]); break;
        case Given:
        case Middle: given.push_back(&cells[i]); break;
        case FullName:
            if (said.full.empty())
                said.full = cells[i];
            else
                ++skipped[header.names[i]];
            break;
        case Company:
            if (said.company.empty()) {
                said.company = std::string(trimBlanks(cells[i]));
                said.companySource = header.names[i];
            } else {
                ++skipped[header.names[i]];
            }
            break;
        case Phone:
        case GroupPhone: {
            int sort = c.sort;
            bool pref = c.pref;
            if (c.kind == GroupPhone) {
                const Group g = groupOf(c, 0);
                sort = g.sort >= 0 ? g.sort : OtherPhone;
                pref = g.pref;
            }
            for (std::string &value : values(cells[i]))
                said.phones.push_back({std::move(value), header.names[i], pref ? 0 : 1, sort});
            break;
        }
        case Email:
        case GroupEmail: {
            const bool pref = c.kind == GroupEmail ? groupOf(c, 1).pref : c.pref;
            for (std::string &value : values(cells[i]))
                said.emails.push_back({std::move(value), header.names[i], pref ? 0 : 1, 0});
            break;
        }
        case Street:
            streets.push_back({i, c.sort == Mobile ? Home : c.sort, c.rank});
            break;
        case GroupStreet: {
            const Group g = groupOf(c, 2);
            const int sort = g.sort >= 0 ? g.sort : Home;
            streets.push_back({i, sort == Mobile || sort == FaxLike ? Home : sort, 2});
            break;
        }
        case None: ++skipped[header.names[i]]; break;
        default: break;
        }
    }

    said.surname = joined(surname, " ");
    said.given = joined(given, " ");
    int addressSort = -1;
    int strength = 0;
    for (int sort : {Home, Work, OtherPhone}) {
        for (const Line &line : streets)
            if (line.sort == sort && line.strength > strength)
                strength = line.strength;
        if (strength > 0) {
            addressSort = sort;
            break;
        }
    }
    std::vector<const std::string *> parts;
    for (const Line &line : streets) {
        if (line.sort == addressSort && line.strength == strength)
            parts.push_back(&cells[line.cell]);
        else
            ++skipped[header.names[line.cell]];
    }
    said.address = joined(parts, ", ");
    return chosen(std::move(said), skipped);
}

} // namespace

void writeCsvHeader(std::string &out)
{
    out += "﻿Apellido,Nombre,Dirección,Teléfono,E-mail\r\n";
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

// This program's own header, which is read first whatever the rows hold.
bool isOwnHeader(const std::vector<std::string> &cells)
{
    return cells.size() == 5 && cells[0] == "Apellido" && cells[1] == "Nombre" && cells[2] == "Dirección"
        && cells[3] == "Teléfono" && cells[4] == "E-mail";
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

bool findCsvHeader(std::istream &in, CsvHeader &header, std::vector<std::string> &found, bool &ragged)
{
    const std::streampos begin = in.tellg();
    ragged = false;
    std::vector<std::string> cells;
    std::vector<std::size_t> tooLong;
    std::uint64_t start = 0;
    {
        // The first row that is not blank, split at ','.
        LineReader lines(in);
        Read read;
        while ((read = readRecord(lines, ',', cells, start, tooLong)) != Read::End
               && lines.bytes() <= kHeaderSearchBytes) {
            if (read == Read::Unclosed || isBlankRow(cells))
                continue;
            decodeRow(cells, lines);
            if (isOwnHeader(cells)) {
                header = CsvHeader();
                header.own = true;
                header.line = start;
                header.names = cells;
                header.known = 5;
                header.columns.resize(5);
                in.clear();
                in.seekg(begin);
                return true;
            }
            break;
        }
    }
    bool have = false;
    std::size_t widest = 0;
    int bestNamed = 0;
    for (char separator : {',', ';', '\t'}) {
        in.clear();
        in.seekg(begin);
        LineReader lines(in);
        // The rows looked at, and their starting lines.
        std::vector<std::pair<std::uint64_t, std::vector<std::string>>> rows;
        Read read;
        while (int(rows.size()) < kHeaderSearchRows + kRowsChecked && lines.bytes() <= kHeaderSearchBytes
               && (read = readRecord(lines, separator, cells, start, tooLong)) != Read::End) {
            if (read == Read::Unclosed || isBlankRow(cells))
                continue;
            decodeRow(cells, lines);
            rows.emplace_back(start, cells);
        }
        if (!rows.empty() && rows[0].second.size() > widest) {
            widest = rows[0].second.size();
            found = rows[0].second;
        }
        for (std::size_t r = 0; r < rows.size() && int(r) < kHeaderSearchRows; ++r) {
            const std::vector<std::string> &row = rows[r].second;
            int known = 0;
            int named = 0;
            std::vector<Column> columns;
            for (const std::string &cell : row) {
                columns.push_back(classify(cell));
                known += givesField(columns.back()) ? 1 : 0;
                named += namesSomeone(columns.back()) ? 1 : 0;
            }
            // Titles are short; and a row of titles with nothing under it is a header
            // only at the top of the file (a sheet not filled in yet).
            bool titles = true;
            for (const std::string &cell : row)
                titles = titles && cell.size() <= 64;
            if (named == 0 || !titles || (r + 1 == rows.size() && r > 0))
                continue;
            bestNamed = std::max(bestNamed, named);
            // A header row whose cells are not all distinct names is a row of data.
            bool rowsFit = true;
            for (std::size_t d = r + 1; d < rows.size() && d <= r + kRowsChecked; ++d)
                rowsFit = rowsFit && fits(rows[d].second, row.size());
            if (!rowsFit) {
                ragged = true;
                continue;
            }
            if (known > header.known || (have && known == header.known && rows[r].first < header.line)) {
                header = CsvHeader();
                header.known = known;
                header.line = rows[r].first;
                header.separator = separator;
                header.columns = std::move(columns);
                for (const std::string &cell : row)
                    header.names.push_back(cell.empty() ? wording::kUntitled : std::string(trimBlanks(cell)));
                have = true;
            }
        }
    }
    in.clear();
    in.seekg(begin);
    for (std::string &cell : found)
        cell = std::string(trimBlanks(cell));
    ragged = ragged && !have;
    return have;
}

void readCsv(LineReader &lines, const CsvHeader &header, const ContactSink &sink, Skipped &skipped, Problems &problems)
{
    std::vector<std::string> cells;
    std::vector<std::size_t> tooLong;
    std::uint64_t start = 0;
    Read read;
    while ((read = readRecord(lines, header.separator, cells, start, tooLong)) != Read::End) {
        if (start <= header.line)
            continue;
        if (read == Read::Unclosed) {
            problems.push_back({start, wording::kUnclosedQuote, wording::kRowLeftOut});
            continue;
        }
        // A row of empty cells is no one, but in this program's own backup a record.
        if ((cells.size() == 1 || !header.own) && isBlankRow(cells))
            continue;
        if (!fits(cells, header.columns.size())) {
            problems.push_back({start, wording::rowDoesNotFit(cells.size(), header.columns.size()),
                                wording::kRowLeftOut});
            continue;
        }
        for (std::size_t i : tooLong) {
            cells[i].clear();
            ++skipped[kTooLong];
        }
        decodeRow(cells, lines);
        Contact contact = contactOf(header, cells, skipped);
        contact.line = start;
        sink(std::move(contact));
    }
}

} // namespace exchange
