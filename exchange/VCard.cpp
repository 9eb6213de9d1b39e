#include "exchange/Formats.h"
#include "exchange/Text.h"

#include "contacts/Cp1252.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace exchange {

namespace {

// A control byte (an old data file may hold one) is written as a space: a bare CR
// or LF inside a line makes other readers refuse the whole file.
void escapeInto(std::string_view text, std::string &out)
{
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case ',': out += "\\,"; break;
        case ';': out += "\\;"; break;
        default: out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
}

// Lines of at most 75 octets; a continuation starts with one space. A character's
// UTF-8 bytes stay on one line.
void foldInto(std::string_view line, std::string &out)
{
    std::size_t limit = 75;
    while (line.size() > limit) {
        std::size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        limit = 74;
    }
    out.append(line);
    out += "\r\n";
}

// Physical lines joined into logical ones, on the bytes, so that a fold inside a
// character joins it back: a line that starts with a space or a tab continues the
// one before it; so does the line after a quoted-printable soft break ('=' at the
// end), and the line after one that ends in a lone '\\' (old phones' habit), with a
// line break between. Each join costs only the joined line, and no logical line is
// kept beyond LineReader::kMaxLine: the rest is read and dropped, and `cut` says so.
class Unfolder {
public:
    explicit Unfolder(LineReader &lines)
        : m_lines(lines)
    {
    }

    bool next(std::string &logical, std::uint64_t &number, bool &cut)
    {
        if (!fill())
            return false;
        logical.clear();
        cut = false;
        number = m_pendingNumber;
        const std::string_view first = withoutEnd(m_pending);
        const std::size_t colon = first.find(':');
        const bool property = colon != std::string_view::npos;
        // Asked only of a line that ends in '=', once.
        int quotedPrintable = -1;
        const auto isQuotedPrintable = [&] {
            if (quotedPrintable < 0)
                quotedPrintable = property && upper(logical.substr(0, std::min(colon, logical.size())))
                                                      .find("QUOTED-PRINTABLE") != std::string::npos;
            return quotedPrintable == 1;
        };
        cut = m_pendingCut;
        append(logical, first, cut);
        m_have = false;
        while (fill()) {
            const std::string_view next = withoutEnd(m_pending);
            if (m_endsInEquals && !isCardLimit(next) && isQuotedPrintable()) {
                if (logical.size() < LineReader::kMaxLine && !logical.empty())
                    logical.pop_back();
                append(logical, next, cut);
            } else if (!next.empty() && (next[0] == ' ' || next[0] == '\t')) {
                append(logical, next.substr(1), cut);
            } else if (property && m_backslashes % 2 == 1 && !isCardLimit(next)) {
                if (logical.size() <= LineReader::kMaxLine && !logical.empty() && logical.back() == '\\')
                    logical.back() = '\n';
                append(logical, next, cut);
            } else {
                break;
            }
            cut = cut || m_pendingCut;
            m_have = false;
        }
        return true;
    }

private:
    static bool isCardLimit(std::string_view line)
    {
        line = trimBlanks(line);
        return equalsIgnoreCase(line, "BEGIN:VCARD") || equalsIgnoreCase(line, "END:VCARD");
    }

    // Appends what fits; keeps the count of the backslashes the physical text ends
    // in, and whether it ends in '=', whatever was kept.
    void append(std::string &logical, std::string_view piece, bool &cut)
    {
        const std::size_t room = LineReader::kMaxLine - std::min(LineReader::kMaxLine, logical.size());
        logical.append(piece.substr(0, room));
        cut = cut || piece.size() > room;
        std::size_t tail = 0;
        while (tail < piece.size() && piece[piece.size() - 1 - tail] == '\\')
            ++tail;
        m_backslashes = tail == piece.size() ? m_backslashes + tail : tail;
        m_endsInEquals = piece.empty() ? m_endsInEquals : piece.back() == '=';
    }

    bool fill()
    {
        if (m_have)
            return true;
        if (!m_lines.next(m_pending))
            return false;
        m_pendingNumber = m_lines.number();
        m_pendingCut = m_lines.cut();
        m_have = true;
        return true;
    }

    LineReader &m_lines;
    std::string m_pending;
    std::uint64_t m_pendingNumber = 0;
    bool m_pendingCut = false;
    bool m_have = false;
    std::size_t m_backslashes = 0;
    bool m_endsInEquals = false;
};

struct Property {
    std::string name; // upper case, without its group
    std::string_view value;
    bool quotedPrintable = false;
    bool base64 = false;
    bool uri = false;
    std::string charset;
    int pref = INT_MAX; // lower is preferred
    std::vector<std::string> types; // upper case

    // Ready for the next line, keeping what was allocated.
    void reset()
    {
        name.clear();
        value = {};
        quotedPrintable = base64 = uri = false;
        charset.clear();
        pref = INT_MAX;
        types.clear();
    }
};

void applyParameter(std::string_view param, Property &p)
{
    const auto eq = param.find('=');
    if (eq == std::string_view::npos) {
        // vCard 2.1 names a parameter by its value alone: TEL;HOME;PREF:
        if (equalsIgnoreCase(param, "QUOTED-PRINTABLE"))
            p.quotedPrintable = true;
        else if (equalsIgnoreCase(param, "BASE64"))
            p.base64 = true;
        else if (equalsIgnoreCase(param, "PREF"))
            p.pref = std::min(p.pref, 1);
        else
            p.types.push_back(upper(param));
        return;
    }
    const std::string_view key = param.substr(0, eq);
    std::string_view values = param.substr(eq + 1);
    while (true) {
        const auto comma = values.find(',');
        std::string_view v = values.substr(0, comma);
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
            v = v.substr(1, v.size() - 2);
        if (equalsIgnoreCase(key, "ENCODING")) {
            p.quotedPrintable = p.quotedPrintable || equalsIgnoreCase(v, "QUOTED-PRINTABLE");
            p.base64 = p.base64 || equalsIgnoreCase(v, "BASE64") || equalsIgnoreCase(v, "B");
        } else if (equalsIgnoreCase(key, "CHARSET")) {
            p.charset = std::string(v);
        } else if (equalsIgnoreCase(key, "VALUE")) {
            p.uri = equalsIgnoreCase(v, "URI");
        } else if (equalsIgnoreCase(key, "TYPE")) {
            if (equalsIgnoreCase(v, "PREF"))
                p.pref = std::min(p.pref, 1);
            else
                p.types.push_back(upper(v));
        } else if (equalsIgnoreCase(key, "PREF")) {
            // vCard 4.0: 1 (most preferred) to 100.
            const int n = std::atoi(std::string(v).c_str());
            if (n >= 1)
                p.pref = std::min(p.pref, n);
        }
        if (comma == std::string_view::npos)
            break;
        values.remove_prefix(comma + 1);
    }
}

// Splits "group.NAME;param;param:value". False when the line has no ':'.
// With `full` false, whether the line is a property, nothing more.
bool parseProperty(std::string_view line, Property &p, bool full = true)
{
    std::size_t pos = line.find_first_of(";:");
    if (pos == std::string_view::npos)
        return false;
    std::string_view name = line.substr(0, pos);
    // A name is a word of letters, digits and '-' (with its group before a '.'); any
    // other text is not a property.
    if (name.empty())
        return false;
    for (char c : name) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_'))
            return false;
    }
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    if (full)
        p.name = upper(name);
    while (line[pos] == ';') {
        const std::size_t start = ++pos;
        bool quoted = false;
        while (pos < line.size() && (quoted || (line[pos] != ';' && line[pos] != ':'))) {
            if (line[pos] == '"')
                quoted = !quoted;
            ++pos;
        }
        if (pos == line.size())
            return false;
        if (full)
            applyParameter(line.substr(start, pos - start), p);
    }
    p.value = line.substr(pos + 1);
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string decodeQuotedPrintable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Undoes the backslash escapes; an unescaped comma (a list separator) becomes
// `comma`. An unknown escape is kept as written.
std::string unescape(std::string_view text, char comma = ',')
{
    std::string out;
    out.reserve(text.size());
    while (true) {
        // Plain runs are copied whole.
        const std::size_t special = text.find_first_of("\\,");
        out.append(text.substr(0, special));
        if (special == std::string_view::npos)
            return out;
        text.remove_prefix(special);
        if (text[0] == ',') {
            out += comma;
            text.remove_prefix(1);
            continue;
        }
        const char e = text.size() > 1 ? text[1] : '\0';
        if (e == '\\' || e == ',' || e == ';') {
            out += e;
            text.remove_prefix(2);
        } else if (e == 'n' || e == 'N') {
            out += '\n';
            text.remove_prefix(2);
        } else {
            out += '\\';
            text.remove_prefix(1);
        }
    }
}

// The parts of a structured value, split at unescaped ';' (still escaped).
std::vector<std::string_view> components(std::string_view value)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\')
            ++i;
        else if (value[i] == ';') {
            parts.push_back(value.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(value.substr(std::min(start, value.size())));
    return parts;
}

std::string joinNonEmpty(const std::string &a, const std::string &b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + " " + b;
}

// The preferred value of a property that may come several times; the others are
// counted as skipped.
struct Choice {
    std::string value;
    int pref = INT_MAX;
    bool have = false;

    void offer(std::string text, int rank, const std::string &name, Skipped &skipped)
    {
        if (!have || rank < pref) {
            if (have)
                ++skipped[name];
            value = std::move(text);
            pref = rank;
            have = true;
        } else {
            ++skipped[name];
        }
    }
};

struct Card {
    std::uint64_t line = 0;
    bool version4 = false;
    bool haveN = false;
    bool showAsCompany = false; // Apple's X-ABShowAs:COMPANY
    Choice adr;
    Said said;

    void reset(std::uint64_t start)
    {
        line = start;
        version4 = haveN = showAsCompany = false;
        adr = Choice();
        said.surname.clear();
        said.given.clear();
        said.full.clear();
        said.company.clear();
        said.companySource.clear();
        said.address.clear();
        said.phones.clear();
        said.emails.clear();
        said.own = false;
        said.line = 0;
    }

    Contact finish(Skipped &skipped)
    {
        said.line = line;
        said.address = std::move(adr.value);
        if (showAsCompany && !said.company.empty()) {
            said.surname.clear();
            said.given.clear();
            said.full = said.company;
        }
        return chosen(std::move(said), skipped);
    }
};

// A telephone's sort from its types: a fax, pager or modem whatever else it is;
// then a mobile, home (or only voice, or no type: a voice number), work, other.
int phoneSort(const std::vector<std::string> &types)
{
    bool mobile = false, home = false, work = false, other = false;
    for (std::string_view type : types) {
        while (!type.empty() && type.front() == '"')
            type.remove_prefix(1);
        while (!type.empty() && type.back() == '"')
            type.remove_suffix(1);
        if (type.substr(0, 2) == "X-")
            type.remove_prefix(2);
        if (type == "FAX" || type == "PAGER" || type == "MODEM" || type == "BBS" || type == "TEXTPHONE"
            || type == "TTY" || type == "TELEX")
            return FaxLike;
        mobile = mobile || type == "CELL" || type == "MOBILE" || type == "IPHONE";
        home = home || type == "HOME" || type == "VOICE";
        work = work || type == "WORK" || type == "MAIN";
        other = other || type == "OTHER" || type == "CAR" || type == "VIDEO" || type == "MSG" || type == "ISDN"
            || type == "PCS";
    }
    if (mobile)
        return Mobile;
    if (work)
        return Work; // "WORK,VOICE" is a work number
    if (home || !other)
        return Home;
    return OtherPhone;
}

} // namespace

void writeVCard(const contacts::Persona &p, std::string &out)
{
    out += "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    std::string line = "N:";
    escapeInto(p.Apellido, line);
    line += ';';
    escapeInto(p.Nombre, line);
    line += ";;;";
    foldInto(line, out);
    line = "FN:";
    escapeInto(joinNonEmpty(p.Nombre, p.Apellido), line);
    foldInto(line, out);
    if (!p.Direccion.empty()) {
        line = "ADR;TYPE=HOME:;;";
        escapeInto(p.Direccion, line);
        line += ";;;;";
        foldInto(line, out);
    }
    if (!p.Telefono.empty()) {
        line = "TEL;TYPE=HOME,VOICE:";
        escapeInto(p.Telefono, line);
        foldInto(line, out);
    }
    if (!p.Email.empty()) {
        line = "EMAIL;TYPE=INTERNET:";
        escapeInto(p.Email, line);
        foldInto(line, out);
    }
    // Marks the card as this program's record, to be read back as it was.
    out += "PRODID:";
    out += kOwnProdId;
    out += "\r\nEND:VCARD\r\n";
}

namespace {

// One card's logical lines, read in the card's own encoding.
// `card` and `p` are made again for each card and line, keeping what they allocated:
// a million cards come and go without a million allocations.
void readCard(std::uint64_t start, std::vector<std::pair<std::uint64_t, std::string>> &lines, LineReader &reader,
              const ContactSink &sink, Skipped &skipped, Card &card, Property &p)
{
    bool utf8 = true;
    for (const auto &line : lines)
        utf8 = utf8 && isValidUtf8(line.second);
    card.reset(start);
    for (auto &[number, raw] : lines) {
        const std::string line = utf8 ? std::move(raw) : reader.fallback(raw);
        p.reset();
        if (!parseProperty(line, p))
            continue; // only a first line can fail: the others joined the one before
        if (p.name == "VERSION") {
            card.version4 = trimBlanks(p.value).substr(0, 1) == "4";
            continue;
        }
        if (p.name == "PRODID" && trimBlanks(p.value) == kOwnProdId) {
            card.said.own = true;
            continue;
        }
        std::string decoded;
        std::string_view value = p.value;
        if (p.quotedPrintable) {
            decoded = decodeQuotedPrintable(p.value);
            const bool charsetUtf8 = p.charset.empty() || equalsIgnoreCase(p.charset, "UTF-8");
            if (!charsetUtf8 || !isValidUtf8(decoded))
                decoded = reader.fallback(decoded);
            value = decoded;
        }
        if (p.name == "N") {
            if (card.haveN) {
                ++skipped[p.name];
                continue;
            }
            const auto parts = components(value);
            card.haveN = true;
            card.said.surname = unescape(parts[0], ' ');
            card.said.given = joinNonEmpty(parts.size() > 1 ? unescape(parts[1], ' ') : std::string(),
                                           parts.size() > 2 ? unescape(parts[2], ' ') : std::string());
        } else if (p.name == "FN") {
            if (card.said.full.empty())
                card.said.full = unescape(value);
        } else if (p.name == "ORG") {
            if (card.said.company.empty()) {
                card.said.company = std::string(trimBlanks(unescape(components(value)[0])));
                card.said.companySource = p.name;
            } else {
                ++skipped[p.name];
            }
        } else if (p.name == "X-ABSHOWAS") {
            card.showAsCompany = equalsIgnoreCase(trimBlanks(p.value), "COMPANY");
        } else if (p.name == "ADR") {
            const auto parts = components(value);
            std::string street = parts.size() > 2 ? unescape(parts[2]) : std::string();
            if (street.empty() && parts.size() > 3)
                street = unescape(parts[3]);
            if (!street.empty())
                card.adr.offer(std::move(street), p.pref, p.name, skipped);
        } else if (p.name == "TEL") {
            std::string phone = unescape(value);
            // vCard 4.0 may give a tel: URI; its number ends at its first parameter.
            if ((p.uri || card.version4) && equalsIgnoreCase(std::string_view(phone).substr(0, 4), "tel:"))
                phone = phone.substr(4, phone.find(';') == std::string::npos ? std::string::npos : phone.find(';') - 4);
            if (!isBlank(phone))
                card.said.phones.push_back({std::move(phone), p.name, p.pref, phoneSort(p.types)});
        } else if (p.name == "EMAIL") {
            std::string address = unescape(value);
            if (!isBlank(address))
                card.said.emails.push_back({std::move(address), p.name, p.pref, 0});
        } else {
            ++skipped[p.name];
        }
    }
    sink(card.finish(skipped));
}

} // namespace

void readVCards(LineReader &lines, const ContactSink &sink, Skipped &skipped, Problems &problems)
{
    Unfolder unfolder(lines);
    std::string line;
    std::uint64_t number = 0;
    bool inCard = false;
    bool inText = false; // within lines outside any card
    std::uint64_t start = 0;
    std::vector<std::pair<std::uint64_t, std::string>> card;
    Card reading;
    Property property;
    const std::string unclosed = wording::kUnclosedVCard;
    bool cut = false;
    while (unfolder.next(line, number, cut)) {
        if (isBlank(line) || line[0] == '#')
            continue; // blank lines and comments, anywhere
        if (cut) {
            // Longer than any field could use (a photo, a stray run of bytes): its name
            // is counted, nothing more is kept.
            Property p;
            ++skipped[inCard && parseProperty(line, p) ? p.name : std::string(kTooLong)];
            continue;
        }
        const std::string_view trimmed = trimBlanks(line);
        if (equalsIgnoreCase(trimmed, "BEGIN:VCARD")) {
            if (inCard)
                problems.push_back({start, unclosed, wording::kVCardLeftOut});
            inCard = true;
            inText = false;
            start = number;
            card.clear();
            continue;
        }
        if (!inCard) {
            if (!inText)
                problems.push_back({number, wording::kBeginExpected, wording::kTextLeftOut});
            inText = true;
            continue;
        }
        if (equalsIgnoreCase(trimmed, "END:VCARD")) {
            readCard(start, card, lines, sink, skipped, reading, property);
            inCard = false;
            continue;
        }
        Property p;
        if (!card.empty() && !parseProperty(line, p, false)) {
            // A line that names no property goes on with the value before it, as far
            // as a logical line may go.
            std::string &value = card.back().second;
            if (value.size() + line.size() < LineReader::kMaxLine) {
                value += '\n';
                value += line;
            }
            continue;
        }
        card.emplace_back(number, std::move(line));
        line = std::string();
    }
    if (inCard)
        problems.push_back({start, unclosed, wording::kVCardLeftOut});
}

} // namespace exchange
