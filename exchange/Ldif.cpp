#include "exchange/Formats.h"
#include "exchange/Text.h"

#include <array>

namespace exchange {

namespace {

int base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::string decodeBase64(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3 / 4);
    unsigned bits = 0;
    int have = 0;
    for (char c : text) {
        const int d = base64Digit(c);
        if (d < 0)
            continue; // padding, spaces
        bits = (bits << 6) | unsigned(d);
        have += 6;
        if (have >= 8) {
            have -= 8;
            out += static_cast<char>((bits >> have) & 0xFF);
        }
    }
    return out;
}

// An entry's attributes, as read.
struct Entry {
    std::uint64_t line = 0;
    bool haveDn = false;
    bool group = false; // a mailing list, an organisation, a folder of the directory
    Said said;
    std::array<std::vector<std::string>, 3> streets; // home, work, locality
    Skipped skipped; // counted only when the entry is a person
};

// What an attribute is, by its name in lower case (options after ';' gone).
void take(Entry &entry, const std::string &name, std::string value)
{
    Skipped &skipped = entry.skipped;
    Said &s = entry.said;
    const auto phone = [&](int sort) {
        if (!isBlank(value))
            s.phones.push_back({std::move(value), name, 1, sort});
    };
    if (name == "dn" || name == "changetype" || name == "modifytimestamp" || name == "createtimestamp"
        || name == "version")
        return;
    if (name == "objectclass") {
        const std::string kind = upper(trimBlanks(value));
        entry.group = entry.group || kind == "GROUPOFNAMES" || kind == "GROUPOFUNIQUENAMES"
            || kind == "ORGANIZATIONALUNIT" || kind == "ORGANIZATION" || kind == "DOMAIN" || kind == "DCOBJECT"
            || kind == "MOZILLAADDRESSBOOK";
        return;
    }
    if (name == "sn" || name == "surname") {
        s.surname = s.surname.empty() ? value : s.surname;
    } else if (name == "givenname" || name == "gn") {
        s.given = s.given.empty() ? value : s.given;
    } else if (name == "cn" || name == "commonname" || name == "displayname") {
        if (s.full.empty())
            s.full = value;
    } else if (name == "o" || name == "organizationname") {
        if (s.company.empty()) {
            s.company = std::string(trimBlanks(value));
            s.companySource = name;
        } else {
            ++skipped[name];
        }
    } else if (name == "mail" || name == "mozillasecondemail" || name == "xmozillasecondemail"
               || name == "rfc822mailbox") {
        if (!isBlank(value))
            s.emails.push_back({std::move(value), name, name == "mail" || name == "rfc822mailbox" ? 1 : 2, 0});
    } else if (name == "mobile" || name == "mobiletelephonenumber" || name == "cellphone" || name == "carphone") {
        phone(Mobile);
    } else if (name == "homephone" || name == "hometelephonenumber") {
        phone(Home);
    } else if (name == "telephonenumber") {
        phone(Work); // Thunderbird's and Evolution's work number
    } else if (name == "facsimiletelephonenumber" || name == "fax" || name == "pager" || name == "pagerphone") {
        phone(FaxLike);
    } else if (name == "mozillahomestreet" || name == "mozillahomestreet2" || name == "homepostaladdress") {
        entry.streets[0].push_back(value);
    } else if (name == "street" || name == "streetaddress" || name == "mozillaworkstreet2" || name == "postaladdress") {
        entry.streets[1].push_back(value);
    } else if (name == "mozillahomelocalityname" || name == "l" || name == "localityname") {
        entry.streets[2].push_back(value);
    } else {
        ++skipped[name];
    }
}

void finish(Entry &entry, const ContactSink &sink, Skipped &all)
{
    Skipped &skipped = entry.skipped;
    Said &s = entry.said;
    const bool person = !entry.group
        && (!isBlank(s.surname) || !isBlank(s.given) || !isBlank(s.full) || !s.phones.empty() || !s.emails.empty());
    if (!person) {
        ++all[kNotPeople];
        return;
    }
    // The home street, else the work street, else the locality; postal addresses
    // give their lines parted by '$'.
    for (std::size_t which = 0; which < entry.streets.size(); ++which) {
        std::string address;
        for (const std::string &part : entry.streets[which]) {
            std::string text;
            for (char c : part)
                text += c == '$' ? '\n' : c;
            if (isBlank(text))
                continue;
            address += (address.empty() ? "" : "\n") + text;
        }
        if (address.empty())
            continue;
        if (s.address.empty())
            s.address = address;
        else
            skipped[which == 2 ? "l" : which == 1 ? "street" : "homePostalAddress"] += entry.streets[which].size();
    }
    s.line = entry.line;
    Contact contact = chosen(std::move(s), skipped);
    for (const auto &[name, n] : skipped)
        all[name] += n;
    sink(std::move(contact));
}

} // namespace

void readLdif(LineReader &lines, const ContactSink &sink, Skipped &skipped, Problems &problems)
{
    std::string line;
    std::string logical;
    std::uint64_t number = 0;
    bool cut = false;
    bool comment = false;
    Entry entry;
    bool inEntry = false;
    bool skipping = false; // an entry without its dn
    const auto flushLogical = [&] {
        if (logical.empty())
            return;
        const std::string text = std::move(logical);
        logical.clear();
        const std::size_t colon = text.find(':');
        if (colon == std::string::npos || colon == 0)
            return;
        std::string name = text.substr(0, colon);
        name = name.substr(0, name.find(';'));
        for (char &c : name)
            c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        if (!inEntry) {
            if (name == "version")
                return;
            inEntry = true;
            entry = Entry();
            entry.line = number;
            skipping = name != "dn";
            if (skipping)
                problems.push_back({number, wording::kDnExpected, wording::kEntryLeftOut});
        }
        if (skipping)
            return;
        if (cut) {
            ++entry.skipped[name];
            return;
        }
        std::string_view rest = std::string_view(text).substr(colon + 1);
        std::string value;
        if (!rest.empty() && rest[0] == ':') {
            value = decodeBase64(rest.substr(1));
        } else if (!rest.empty() && rest[0] == '<') {
            ++entry.skipped[name]; // a value in another file
            return;
        } else {
            value = std::string(trimBlanks(rest));
        }
        take(entry, name, lines.decode(value));
    };
    const auto endEntry = [&] {
        flushLogical();
        if (inEntry && !skipping)
            finish(entry, sink, skipped);
        inEntry = false;
        skipping = false;
    };
    while (lines.next(line)) {
        const std::string_view text = withoutEnd(line);
        const bool lineCut = lines.cut();
        if (!text.empty() && text[0] == ' ') {
            // Continues the line before it (a comment's too).
            if (comment)
                continue;
            const std::size_t room = LineReader::kMaxLine - std::min(LineReader::kMaxLine, logical.size());
            logical.append(text.substr(1, room));
            cut = cut || lineCut || text.size() - 1 > room;
            continue;
        }
        if (isBlank(text)) {
            comment = false;
            endEntry();
            continue;
        }
        flushLogical();
        comment = text[0] == '#';
        if (comment)
            continue;
        logical.assign(text);
        cut = lineCut;
        number = lines.number();
    }
    endEntry();
}

} // namespace exchange
