#include "exchange/Command.h"

#include "wording/FileMessages.h"
#include "wording/ImportWords.h"
#include "wording/SystemErrorText.h"
#include "version/Version.h"
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "exchange/Import.h"
#include "exchange/Report.h"
#include "exchange/Text.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace exchange {

namespace {

constexpr char kProgram[] = "vorteda-contactos";

const char kUsage[] =
    "Uso: vorteda-contactos exportar ARCHIVO [--formato vcard|csv] [--carpeta DIR]\n"
    "     vorteda-contactos importar ARCHIVO [--prueba] [--duplicados] [--carpeta DIR]\n"
    "     vorteda-contactos --ayuda | --version\n"
    "\n"
    "exportar     Escribe todos los contactos, en el orden del archivo, en ARCHIVO:\n"
    "             vCard 3.0 si termina en .vcf, CSV si termina en .csv. Con «-» los\n"
    "             escribe en la salida estándar (indique --formato).\n"
    "importar     Añade a personas.dat los contactos de un archivo vCard (2.1, 3.0 o\n"
    "             4.0), LDIF o CSV, y lo deja ordenado por nombre. Los contactos que ya\n"
    "             estaban no se añaden otra vez.\n"
    "--prueba     Solo muestra el informe; no escribe nada.\n"
    "--duplicados Añade también los contactos que ya estaban.\n"
    "--carpeta    La carpeta de los contactos (por omisión, ";
// The rest of the help, after the default folder's name.
const char kUsageRest[] =
    ").\n"
    "\n"
    "El archivo se reconoce por lo que es: vCard si empieza por BEGIN:VCARD, LDIF si\n"
    "empieza por «dn:», CSV si una fila de títulos nombra el apellido, el nombre, el\n"
    "nombre completo o la empresa y las filas de debajo caben en sus columnas. Lo\n"
    "demás se rechaza diciendo qué parece (una hoja de cálculo: guárdela como CSV).\n"
    "\n"
    "En todos los formatos, el teléfono es el preferido; si no, el móvil; si no, el\n"
    "particular, el del trabajo u otro; un fax o un busca solo si no hay otro. El\n"
    "correo es el preferido; si no, la primera dirección de Internet. La dirección\n"
    "es la calle del domicilio; si no, la del trabajo. De cada vCard, de N el\n"
    "apellido y el nombre (con los nombres adicionales). Sin N, el FN da el nombre\n"
    "(su primera palabra) y el apellido (el resto); un FN de una sola palabra es el\n"
    "apellido. Un contacto sin apellido toma como apellido su nombre completo, su\n"
    "nombre, su empresa o su correo, y se avisa; uno sin ningún dato no se añade.\n"
    "\n"
    "Las columnas de un CSV se reconocen por su nombre entero (Outlook, Google\n"
    "Contacts, Thunderbird, Yahoo, Apple, Zoho, Salesforce, LinkedIn, o Apellidos,\n"
    "Nombre, Teléfono móvil, Domicilio, Correo electrónico...), separadas por «,»,\n"
    "«;» o tabulador. UTF-8, o si no Windows-1252 (Mac Roman en los archivos de Mac\n"
    "con líneas terminadas en CR), o UTF-16; el informe dice cuál se supuso.\n"
    "\n"
    "Lo demás se omite y se cuenta en el resumen. Cada contacto que no cabe entero\n"
    "se avisa: un teléfono largo se escribe primero sin espacios, puntos, guiones ni\n"
    "paréntesis; los campos se cortan a 25, 20, 20, 15 y 25 caracteres, y los\n"
    "caracteres que Windows-1252 no tiene se guardan como «?». Un salto de línea\n"
    "dentro de un dato se guarda como un espacio («, » en la dirección). Una vCard o\n"
    "fila que no se puede leer se omite y se avisa; las demás se añaden.\n"
    "\n"
    "Salida: 0 hecho (puede haber avisos), 1 error (no se escribió nada), 2 uso incorrecto.\n";

// The folder used without --carpeta, as this build has it.
const char *defaultFolderName(ContactsPlace place)
{
    if (place == ContactsPlace::BesideProgram)
        return "la del programa";
#ifdef _WIN32
    return "%LOCALAPPDATA%\\Vorteda";
#else
    return "$XDG_DATA_HOME/vorteda, o ~/.local/share/vorteda";
#endif
}

// The arguments are UTF-8 on every system: on Windows a path made from a plain
// string would go through the ANSI code page and lose every character it lacks.
std::filesystem::path pathOf(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

struct Options {
    std::string command;
    std::string file;
    std::optional<std::string> format;
    std::optional<std::string> folder;
    bool trial = false;
    bool duplicates = false;
    bool help = false;
    bool version = false;
};

// Parses `args`; an empty string, or the reason they are wrong.
std::string parse(const std::vector<std::string> &args, Options &options)
{
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--ayuda" || a == "--help") {
            options.help = true;
        } else if (a == "--version") {
            options.version = true;
        } else if (a == "--prueba") {
            options.trial = true;
        } else if (a == "--duplicados") {
            options.duplicates = true;
        } else if (a == "--carpeta" || a == "--formato") {
            if (i + 1 == args.size())
                return "falta el valor de " + a;
            (a == "--carpeta" ? options.folder : options.format) = args[++i];
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return "opción desconocida " + inQuotes(a);
        } else {
            positional.push_back(a);
        }
    }
    if (options.help || options.version)
        return {};
    if (positional.empty())
        return "falta la orden (exportar o importar)";
    options.command = positional[0];
    if (options.command != "exportar" && options.command != "importar")
        return "orden desconocida " + inQuotes(options.command);
    if (positional.size() < 2)
        return "falta el ARCHIVO";
    if (positional.size() > 2)
        return "sobra " + inQuotes(positional[2]);
    options.file = positional[1];
    if (options.command == "importar" && options.format)
        return "--formato es solo para exportar: al importar el formato se reconoce por el contenido";
    if (options.command == "exportar" && (options.trial || options.duplicates))
        return std::string(options.trial ? "--prueba" : "--duplicados") + " es solo para importar";
    if (options.format && *options.format != "vcard" && *options.format != "csv")
        return "formato desconocido " + inQuotes(*options.format) + " (vcard o csv)";
    return {};
}

bool endsWithIgnoreCase(const std::string &text, std::string_view suffix)
{
    return text.size() >= suffix.size() && equalsIgnoreCase(std::string_view(text).substr(text.size() - suffix.size()), suffix);
}

int exportContacts(const Options &options, const std::filesystem::path &folder, std::ostream &out,
                   std::ostream &err, contacts::FileSystem &fs)
{
    Format format = Format::VCard;
    if (options.format)
        format = *options.format == "csv" ? Format::Csv : Format::VCard;
    else if (endsWithIgnoreCase(options.file, ".csv"))
        format = Format::Csv;
    else if (!endsWithIgnoreCase(options.file, ".vcf")) {
        err << kProgram << ": no se sabe en qué formato escribir " << inQuotes(options.file)
            << ": use un nombre terminado en .vcf o .csv, o --formato vcard|csv\n";
        return kBadUsage;
    }
    // A mistyped --carpeta has no contacts to give: "0 exported" would hide the mistake.
    std::error_code missing;
    if (!std::filesystem::is_directory(folder, missing)) {
        const bool there = std::filesystem::exists(folder, missing);
        err << kProgram << ": la carpeta de contactos " << inQuotes(pathText(folder))
            << (there ? " no es una carpeta" : " no existe") << "; no se ha escrito nada.\n";
        return kFailed;
    }
    contacts::ContactFile file(fs, folder);
    if (options.file != "-" && isContactsFile(file, pathOf(options.file))) {
        err << kProgram << ": " << ontoContactsFile(options.file) << "\n";
        return kFailed;
    }
    std::uint64_t written = 0;
    try {
        if (options.file == "-")
            written = exchange::exportContacts(file, format, out);
        else
            written = exchange::exportContacts(file, format, pathOf(options.file));
    } catch (const contacts::FileError &error) {
        if (error.path() == "-")
            err << kProgram << ": no se pudo escribir en la salida estándar: " << wording::systemErrorText(error.code())
                << "\n";
        else
            err << kProgram << ": " << fileErrorText(error) << "\n";
        return kFailed;
    }
    if (options.file != "-")
        out << count(written, "contacto exportado", "contactos exportados") << " ("
            << writtenName(format) << ", " << inQuotes(options.file) << ").\n";
    return kDone;
}

int importContacts(const Options &options, const std::filesystem::path &folder, std::ostream &out,
                   std::ostream &err, contacts::FileSystem &fs)
{
    const std::string nothing = "; no se ha cambiado " + inQuotes(pathText(folder / contacts::kDataFileName)) + ".\n";
    contacts::ContactFile file(fs, folder);
    OpenedImport opened = previewFile(pathOf(options.file), options.file, file, options.duplicates);
    if (!opened.preview) {
        err << kProgram << ": " << opened.refusal << "\n";
        return kFailed;
    }
    Preview preview = std::move(*opened.preview);
    const ImportResult &read = preview.read;
    // A screenful at most: a file of a million bad rows gives a report one can read.
    std::size_t shown = 0;
    for (const Problem &problem : read.problems)
        if (shown++ < wording::kListedAtMost)
            out << "Aviso: " << problemLine(problem) << "\n";
    for (const std::string &line : read.report)
        if (shown++ < wording::kListedAtMost)
            out << "Aviso: " << line << "\n";
    if (shown > wording::kListedAtMost)
        out << "Aviso: " << wording::andMore(shown - wording::kListedAtMost) << ".\n";
    const std::uint64_t warned = read.notWhole;
    const std::uint64_t unnamed = read.surnameTaken;
    const std::size_t unreadable = read.problems.size();
    const Skipped skipped = read.skipped;
    const bool vcard = read.format != Format::Csv;
    const std::string encoding = read.encoding;
    Committed done{read.records.size(), preview.duplicates};
    if (!options.trial) {
        try {
            done = commitImport(std::move(preview), file, options.duplicates);
        } catch (const contacts::FileError &error) {
            // The words for another copy's lock already say that nothing changed.
            err << kProgram << ": " << fileErrorText(error) << (wording::heldByAnotherCopy(error) ? "\n" : nothing);
            return kFailed;
        }
    }
    const std::string from = std::string(" (") + readName(read.format) + ", " + inQuotes(options.file) + ")";
    if (options.trial)
        out << "Prueba: se " << (done.added == 1 ? "añadiría " : "añadirían ")
            << count(done.added, "contacto", "contactos") << from << "; no se ha escrito nada.\n";
    else
        out << count(done.added, "contacto añadido", "contactos añadidos") << from << ".\n";
    if (done.duplicates > 0) {
        const bool one = done.duplicates == 1;
        out << count(done.duplicates, "contacto ya estaba", "contactos ya estaban")
            << " (en personas.dat o antes en el mismo archivo) y no se "
            << (options.trial ? (one ? "añadiría" : "añadirían")
                              : (one ? "ha añadido" : "han añadido"))
            << " otra vez; --duplicados " << (one ? "lo" : "los") << " añade.\n";
    }
    if (unreadable > 0)
        out << (unreadable == 1 ? "Se omitió " : "Se omitieron ")
            << count(unreadable, "parte del archivo que no se pudo leer (aviso arriba)",
                     "partes del archivo que no se pudieron leer (avisos arriba)")
            << ".\n";
    if (warned > 0)
        out << count(warned, "contacto no cupo entero (aviso arriba)", "contactos no cupieron enteros (avisos arriba)")
            << ".\n";
    if (unnamed > 0)
        out << count(unnamed, "contacto no tenía apellido", "contactos no tenían apellido")
            << ": se guarda como apellido lo que los nombra (avisos arriba).\n";
    if (!encoding.empty())
        out << wording::assumedEncoding(encoding) << "\n";
    skippedSummary(skipped, vcard, out);
    return kDone;
}

} // namespace

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, contacts::FileSystem &fs,
        const std::function<std::filesystem::path()> &defaultFolder, ContactsPlace place)
{
    Options options;
    const std::string wrong = parse(args, options);
    if (!wrong.empty()) {
        err << kProgram << ": " << wrong << "\nUse «" << kProgram << " --ayuda» para ver cómo se usa.\n";
        return kBadUsage;
    }
    if (options.help) {
        out << kUsage << defaultFolderName(place) << kUsageRest;
        return kDone;
    }
    if (options.version) {
        out << kProgram << " " << version::kVersionText << "\n";
        return kDone;
    }
    std::filesystem::path folder;
    try {
        folder = options.folder ? pathOf(*options.folder) : defaultFolder();
    } catch (const contacts::FileError &error) {
        err << kProgram << ": " << fileErrorText(error) << "\n";
        return kFailed;
    }
    if (options.command == "exportar")
        return exportContacts(options, folder, out, err, fs);
    return importContacts(options, folder, out, err, fs);
}

} // namespace exchange
