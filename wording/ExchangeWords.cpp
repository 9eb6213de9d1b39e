#include "wording/ExchangeWords.h"

#include "wording/ImportWords.h"
#include "wording/Phrases.h"
#include "wording/SystemErrorText.h"

#include <utility>

namespace wording {

std::string tooManyContacts(std::uint64_t most)
{
    return "más contactos de los que caben en personas.dat (" + std::to_string(most) + ")";
}

std::string csvColumns(std::string_view names)
{
    return ". Sus columnas: " + std::string(names) + ". Se leen, entre otras: " + knownCsvColumnNames();
}

std::string rowDoesNotFit(std::size_t cells, std::size_t columns)
{
    return "la fila tiene " + std::to_string(cells) + " columnas y la de títulos " + std::to_string(columns);
}

std::string problemLine(std::uint64_t line, std::string_view text, std::string_view omitted)
{
    return "línea " + std::to_string(line) + ": " + std::string(text) + "; " + std::string(omitted) + ".";
}

std::string knownCsvColumnNames()
{
    return "Apellidos, Nombre, Segundo nombre, Nombre completo, Empresa, Teléfono, Teléfono móvil, Móvil, "
           "Particular, Teléfono del trabajo, Domicilio, Dirección, Calle del domicilio, "
           "Correo electrónico, E-mail; y las de Outlook, Google Contacts, Thunderbird, Yahoo, Apple, Zoho, "
           "Salesforce y LinkedIn: Last Name, First Name, Middle Name, Name, Display Name, Company, Account Name, "
           "Mobile Phone, Home Phone, Business Phone, Phone 1 - Value, E-mail Address, E-mail 2 Address, "
           "Primary Email, E-mail 1 - Value, Home Street, Business Street, Mailing Street, Home Address, "
           "Address 1 - Street";
}

std::string contactAt(std::uint64_t line, std::string_view name)
{
    return "línea " + std::to_string(line) + ", " + inQuotes(name);
}

std::string fieldNotWhole(std::size_t field, std::string_view stored, std::size_t width, bool cut, bool replaced)
{
    static const char *const kFieldNames[] = {"Apellido", "Nombre", "Dirección", "Teléfono", "E-mail"};
    // Dirección is the one feminine field name.
    const bool feminine = field == 2;
    std::string text = std::string(kFieldNames[field < 5 ? field : 4]) + (feminine ? " guardada" : " guardado")
        + " como " + inQuotes(stored) + " (";
    if (cut)
        text += std::string(feminine ? "cortada" : "cortado") + " a " + std::to_string(width) + " caracteres";
    if (cut && replaced)
        text += ", ";
    if (replaced)
        text += "«?» en lugar de caracteres que Windows-1252 no tiene";
    return text + ")";
}

namespace {

// A vCard property in plain words, with the article-less noun for a count.
std::string propertyWords(const NotKept &property)
{
    static const std::pair<const char *, const char *> kNames[] = {
        {"PHOTO", "foto"}, {"LOGO", "logotipo"}, {"ORG", "empresa"}, {"TITLE", "cargo"}, {"ROLE", "función"},
        {"NOTE", "nota"}, {"BDAY", "cumpleaños"}, {"ANNIVERSARY", "aniversario"}, {"URL", "página web"},
        {"NICKNAME", "apodo"}, {"CATEGORIES", "grupos"}, {"UID", "identificador"}, {"REV", "fecha de cambio"},
        {"PRODID", "programa de origen"}, {"LABEL", "etiqueta de dirección"}, {"GEO", "situación"},
        {"TZ", "zona horaria"}, {"IMPP", "mensajería"}, {"GENDER", "sexo"}, {"KIND", "clase"},
        {"LANG", "idioma"}, {"KEY", "clave"}, {"SOUND", "sonido"}, {"MAILER", "programa de correo"},
        {"SORT-STRING", "orden"}, {"SOURCE", "origen"}, {"RELATED", "relación"}, {"MEMBER", "miembro"},
        {"X-ABLABEL", "etiqueta"}, {kNotPeople, "entradas que no son personas"},
        {kTooLong, "datos demasiado largos"}, {"o", "empresa"}, {"title", "cargo"},
        {"postalcode", "código postal"}, {"mozillahomepostalcode", "código postal"}, {"st", "provincia"},
        {"c", "país"}, {"description", "nota"}, {"member", "miembro"}};
    for (const auto &[name, words] : kNames)
        if (property.name == name)
            return words;
    return property.shown;
}

} // namespace

std::string notKeptSummary(const std::vector<NotKept> &skipped, bool vcard)
{
    std::string out;
    std::string others;
    std::size_t listed = 0;
    for (const NotKept &entry : skipped) {
        const std::string &name = entry.name;
        const std::uint64_t n = entry.count;
        if (vcard && name == "TEL")
            out += count(n, "teléfono más no se guardó", "teléfonos más no se guardaron")
                + ": Vorteda guarda uno por contacto.\n";
        else if (vcard && name == "EMAIL")
            out += count(n, "correo electrónico más no se guardó", "correos electrónicos más no se guardaron")
                + ": Vorteda guarda uno por contacto.\n";
        else if (vcard && name == "ADR")
            out += count(n, "dirección más no se guardó", "direcciones más no se guardaron")
                + ": Vorteda guarda una por contacto.\n";
        else if (vcard && name == "N")
            out += count(n, "nombre más no se guardó", "nombres más no se guardaron")
                + ": Vorteda guarda uno por contacto.\n";
        else if (listed++ < kListedAtMost)
            others += (others.empty() ? "" : ", ")
                + (vcard ? propertyWords(entry) + " (" + std::to_string(n) + ")"
                         : inQuotes(entry.shown) + " (en " + count(n, "contacto", "contactos") + ")");
    }
    // A screenful at most, whatever the file names.
    if (listed > kListedAtMost)
        others += ", " + andMore(listed - kListedAtMost);
    if (!others.empty())
        out += (vcard ? "Otros datos que Vorteda no guarda y se omitieron: "
                      : "Columnas que Vorteda no guarda y se omitieron: ")
            + others + ".\n";
    return out;
}

std::string nothingChanged(const std::filesystem::path &dataFile)
{
    return "; no se ha cambiado " + inQuotes(pathText(dataFile)) + ".";
}

std::string refusedAt(std::string_view shown, std::uint64_t line, std::string_view why)
{
    std::string text(shown);
    if (line > 0)
        text += ", línea " + std::to_string(line);
    return text + ": " + std::string(why);
}

std::string isAFolder(std::string_view shown)
{
    return inQuotes(shown) + " es una carpeta, no un archivo";
}

std::string cannotOpen(std::string_view shown, std::error_code error)
{
    return "no se puede abrir " + inQuotes(shown) + ": " + systemErrorText(error);
}

std::string ontoContactsFile(std::string_view shown)
{
    return inQuotes(shown) + " es el archivo donde Vorteda guarda los contactos: exportar ahí los borraría. "
                           "No se ha escrito nada; elija otro nombre.";
}

} // namespace wording
