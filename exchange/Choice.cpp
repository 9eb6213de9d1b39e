#include "exchange/Formats.h"
#include "exchange/Text.h"

#include "wording/ImportWords.h"

#include <tuple>

namespace exchange {

namespace {

using wording::SurnameFrom;

// Whether `word` stands as a whole word in `text`.
bool hasWord(std::string_view text, std::string_view word)
{
    for (std::size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
        const bool before = at == 0 || text[at - 1] == ' ';
        const bool after = at + word.size() == text.size() || text[at + word.size()] == ' ';
        if (before && after)
            return true;
    }
    return false;
}

std::string trimmed(const std::string &text)
{
    return std::string(trimBlanks(text));
}

} // namespace

bool isInternetAddress(std::string_view address)
{
    address = trimBlanks(address);
    if (address.size() >= 3 && address[0] == '/' && equalsIgnoreCase(address.substr(1, 2), "o="))
        return false; // Exchange's X.500 address
    const std::size_t at = address.find('@');
    return at != std::string_view::npos && at > 0 && at + 1 < address.size();
}

Contact chosen(Said &&said, Skipped &skipped)
{
    Contact contact;
    contact.line = said.line;
    contact.own = said.own;
    auto &f = contact.fields;

    // One telephone: (fax-like, preference, sort, order), the least.
    Said::Value *phone = nullptr;
    for (Said::Value &value : said.phones) {
        if (!phone
            || std::make_tuple(value.sort == FaxLike, value.pref, value.sort)
                < std::make_tuple(phone->sort == FaxLike, phone->pref, phone->sort))
            phone = &value;
    }
    // One e-mail: (not internet, preference, order).
    Said::Value *email = nullptr;
    for (Said::Value &value : said.emails) {
        if (!email
            || std::make_tuple(!isInternetAddress(value.text), value.pref)
                < std::make_tuple(!isInternetAddress(email->text), email->pref))
            email = &value;
    }
    for (const Said::Value &value : said.phones)
        if (&value != phone)
            ++skipped[value.source];
    for (const Said::Value &value : said.emails)
        if (&value != email)
            ++skipped[value.source];
    if (phone)
        f.Telefono = std::move(phone->text);
    if (email)
        f.Email = std::move(email->text);
    f.Direccion = std::move(said.address);

    f.Apellido = std::move(said.surname);
    f.Nombre = std::move(said.given);
    if (said.own)
        return contact;
    const std::string full = trimmed(said.full);
    const std::string company = trimmed(said.company);
    bool companyUsed = false;
    if (isBlank(f.Apellido)) {
        const std::string given = trimmed(f.Nombre);
        if (!given.empty()) {
            // A name alone ("Mamá", "Abuela Carmen"): the list shows the surname.
            if (!full.empty() && full != company) {
                contact.surnameFrom = int(SurnameFrom::DisplayName);
                if (hasWord(full, given))
                    f.Nombre.clear();
                f.Apellido = full;
            } else {
                contact.surnameFrom = int(SurnameFrom::GivenName);
                f.Apellido = given;
                f.Nombre.clear();
            }
        } else if (!full.empty() && (full == company || full.find(' ') == std::string::npos)) {
            // One word, or a company's card: the whole name is the surname.
            f.Apellido = full;
            f.Nombre.clear();
            companyUsed = full == company;
            if (companyUsed)
                contact.surnameFrom = int(SurnameFrom::Company);
        } else if (!full.empty()) {
            // No name parts: the first word is the given name, the rest the surname.
            const auto space = full.find(' ');
            f.Nombre = full.substr(0, space);
            f.Apellido = trimmed(full.substr(space + 1));
        } else if (!company.empty()) {
            f.Apellido = company;
            companyUsed = true;
            contact.surnameFrom = int(SurnameFrom::Company);
        } else if (!isBlank(f.Email)) {
            f.Apellido = trimmed(f.Email);
            contact.surnameFrom = int(SurnameFrom::Email);
        } else if (!isBlank(f.Telefono)) {
            f.Apellido = trimmed(f.Telefono);
            contact.surnameFrom = int(SurnameFrom::Telephone);
        } else if (!isBlank(f.Direccion)) {
            f.Apellido = trimmed(f.Direccion);
            contact.surnameFrom = int(SurnameFrom::Address);
        }
    }
    if (!company.empty() && !companyUsed && !said.companySource.empty())
        ++skipped[said.companySource];
    return contact;
}

} // namespace exchange
