#include "exchange/Command.h"

#include "wording/FileMessages.h"
#include "wording/SystemErrorText.h"
#include "version/Version.h"
#include "contacts/ContactFile.h"
#include "contacts/Cp1252.h"
#include "exchange/Import.h"
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
    "     vorteda-contactos importar ARCHIVO [--prueba] [--carpeta DIR]\n"
    "     vorteda-contactos --ayuda | --version\n"
    "\n"
    "exportar   Escribe todos los contactos, en el orden del archivo, en ARCHIVO:\n"
    "           vCard 3.0 si termina en .vcf, CSV si termina en .csv. Con \xC2\xAB-\xC2\xBB los\n"
    "           escribe en la salida est\xC3\xA1ndar (indique --formato).\n"
    "importar   A\xC3\xB1" "ade los contactos de un archivo vCard (2.1, 3.0 o 4.0) o CSV\n"
    "           (separado por \xC2\xAB,\xC2\xBB o \xC2\xAB;\xC2\xBB, UTF-8 o Windows-1252) a personas.dat y\n"
    "           lo deja ordenado por nombre. Con --prueba solo muestra el informe.\n"
    "--carpeta  La carpeta de los contactos (por omisi\xC3\xB3n, la del programa).\n"
    "\n"
    "De cada vCard se guardan: de N, el apellido y el nombre (con los nombres\n"
    "adicionales); de ADR, la calle (o la localidad si no hay calle); TEL y EMAIL (el\n"
    "preferido, si no el primero). Sin N, el FN da el nombre (su primera palabra) y el\n"
    "apellido (el resto); un FN de una sola palabra es el apellido. Lo dem\xC3\xA1s se omite\n"
    "y se cuenta en el resumen. En CSV se leen las columnas Apellido, Nombre,\n"
    "Direcci\xC3\xB3n, Tel\xC3\xA9" "fono y E-mail. Cada contacto que no cabe entero se avisa:\n"
    "los campos se cortan a 25, 20, 20, 15 y 25 caracteres, y los caracteres que\n"
    "Windows-1252 no tiene se guardan como \xC2\xAB?\xC2\xBB.\n"
    "\n"
    "Salida: 0 hecho (puede haber avisos), 1 error (no se escribi\xC3\xB3 nada), 2 uso incorrecto.\n";

std::string inQuotes(const std::string &text)
{
    return "\xC2\xAB" + text + "\xC2\xBB";
}

// The arguments are UTF-8 on every system: on Windows a path made from a plain
// string would go through the ANSI code page and lose every character it lacks.
std::filesystem::path pathOf(const std::string &utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string textOf(const std::filesystem::path &path)
{
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string fileErrorText(const contacts::FileError &error)
{
    if (wording::heldByAnotherCopy(error))
        return wording::anotherCopyText(error);
    return "no se pudo " + std::string(wording::describe(error.op())) + " " + inQuotes(textOf(error.path())) + ": "
        + wording::systemErrorText(error.code());
}

struct Options {
    std::string command;
    std::string file;
    std::optional<std::string> format;
    std::optional<std::string> folder;
    bool trial = false;
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
        } else if (a == "--carpeta" || a == "--formato") {
            if (i + 1 == args.size())
                return "falta el valor de " + a;
            (a == "--carpeta" ? options.folder : options.format) = args[++i];
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return "opci\xC3\xB3n desconocida " + inQuotes(a);
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
    if (options.command == "exportar" && options.trial)
        return "--prueba es solo para importar";
    if (options.format && *options.format != "vcard" && *options.format != "csv")
        return "formato desconocido " + inQuotes(*options.format) + " (vcard o csv)";
    return {};
}

bool endsWithIgnoreCase(const std::string &text, std::string_view suffix)
{
    return text.size() >= suffix.size() && equalsIgnoreCase(std::string_view(text).substr(text.size() - suffix.size()), suffix);
}

// Where the exported text goes: standard output, or a file created on the first
// write and removed again when the export fails.
class Output {
public:
    Output(std::ostream &standard, std::string name)
        : m_standard(standard)
        , m_name(std::move(name))
    {
    }

    void write(const std::string &data)
    {
        std::ostream &stream = target();
        stream.write(data.data(), std::streamsize(data.size()));
        if (!stream)
            fail();
    }

    void close()
    {
        std::ostream &stream = target();
        stream.flush();
        if (m_file)
            m_file->close();
        if (!stream || (m_file && m_file->fail()))
            fail();
    }

    void discard()
    {
        if (m_file) {
            m_file.reset();
            std::error_code ignored;
            std::filesystem::remove(pathOf(m_name), ignored);
        }
    }

private:
    std::ostream &target()
    {
        if (m_name == "-")
            return m_standard;
        if (!m_file) {
            m_file.emplace(pathOf(m_name), std::ios::binary | std::ios::trunc);
            if (!*m_file)
                throw std::runtime_error("no se puede crear " + inQuotes(m_name) + ": " + std::generic_category().message(errno));
        }
        return *m_file;
    }

    [[noreturn]] void fail()
    {
        throw std::runtime_error("no se pudo escribir " + inQuotes(m_name == "-" ? "la salida est\xC3\xA1ndar" : m_name));
    }

    std::ostream &m_standard;
    std::string m_name;
    std::optional<std::ofstream> m_file;
};

int exportContacts(const Options &options, const std::filesystem::path &folder, std::ostream &out,
                   std::ostream &err, contacts::FileSystem &fs)
{
    bool csv = false;
    if (options.format)
        csv = *options.format == "csv";
    else if (endsWithIgnoreCase(options.file, ".csv"))
        csv = true;
    else if (!endsWithIgnoreCase(options.file, ".vcf")) {
        err << kProgram << ": no se sabe en qu\xC3\xA9 formato escribir " << inQuotes(options.file)
            << ": use un nombre terminado en .vcf o .csv, o --formato vcard|csv\n";
        return kBadUsage;
    }

    Output output(out, options.file);
    std::uint64_t count = 0;
    try {
        std::string buffer;
        buffer.reserve((std::size_t(1) << 20) + 4096);
        if (csv)
            writeCsvHeader(buffer);
        contacts::Persona fields;
        contacts::ContactFile(fs, folder).forEachRecord([&](const char *record) {
            // Only the padding goes: leading spaces and every other byte come back on import.
            for (std::size_t f = 0; f < 5; ++f) {
                std::string_view text(record + contacts::kFieldOffsets[f], contacts::kFieldWidths[f]);
                text = text.substr(0, text.find_last_not_of(' ') + 1);
                contacts::field(fields, f) = contacts::decodeCp1252(text);
            }
            if (csv)
                writeCsvRow(fields, buffer);
            else
                writeVCard(fields, buffer);
            ++count;
            if (buffer.size() >= (std::size_t(1) << 20)) {
                output.write(buffer);
                buffer.clear();
            }
        });
        output.write(buffer);
        output.close();
    } catch (const contacts::FileError &error) {
        output.discard();
        err << kProgram << ": " << fileErrorText(error) << "\n";
        return kFailed;
    } catch (const std::runtime_error &error) {
        output.discard();
        err << kProgram << ": " << error.what() << "\n";
        return kFailed;
    }
    if (options.file != "-")
        out << "Contactos exportados: " << count << " (" << (csv ? "CSV" : "vCard 3.0") << ", "
            << inQuotes(options.file) << ").\n";
    return kDone;
}

std::string skippedSummary(const Skipped &skipped)
{
    if (skipped.empty())
        return "ninguna";
    std::string text;
    for (const auto &[name, count] : skipped) {
        if (!text.empty())
            text += ", ";
        text += printable(name) + " (" + std::to_string(count) + ")";
    }
    return text;
}

int importContacts(const Options &options, const std::filesystem::path &folder, std::ostream &out,
                   std::ostream &err, contacts::FileSystem &fs)
{
    const std::string nothing = "; no se ha cambiado " + inQuotes(textOf(folder / contacts::kDataFileName)) + ".\n";
    ImportResult result;
    {
        std::error_code ec;
        if (std::filesystem::is_directory(pathOf(options.file), ec)) {
            err << kProgram << ": " << inQuotes(options.file) << " es una carpeta, no un archivo" << nothing;
            return kFailed;
        }
        std::ifstream in(pathOf(options.file), std::ios::binary);
        if (!in) {
            err << kProgram << ": no se puede abrir " << inQuotes(options.file) << ": "
                << std::generic_category().message(errno) << nothing;
            return kFailed;
        }
        try {
            result = readContacts(in);
        } catch (const ImportError &error) {
            err << kProgram << ": " << options.file;
            if (error.line() > 0)
                err << ", l\xC3\xADnea " << error.line();
            err << ": " << error.what() << nothing;
            return kFailed;
        }
    }
    for (const std::string &line : result.report)
        out << "Aviso: " << line << "\n";
    const std::size_t added = result.records.size();
    const std::size_t warned = result.report.size();
    const Skipped skipped = std::move(result.skipped);
    const bool vcard = result.format == Format::VCard;
    if (!options.trial) {
        try {
            contacts::ContactFile(fs, folder).appendAll(std::move(result.records));
        } catch (const contacts::FileError &error) {
            // The words for another copy's lock already say that nothing changed.
            err << kProgram << ": " << fileErrorText(error) << (wording::heldByAnotherCopy(error) ? "\n" : nothing);
            return kFailed;
        }
    }
    out << (options.trial ? "Prueba: se a\xC3\xB1" "adir\xC3\xAD" "an " : "A\xC3\xB1" "adidos ") << added
        << " contactos (" << (vcard ? "vCard" : "CSV") << ", " << inQuotes(options.file) << ")"
        << (options.trial ? "; no se ha escrito nada.\n" : ".\n");
    if (warned > 0)
        out << "Contactos que no cupieron enteros: " << warned << " (avisos arriba).\n";
    out << (vcard ? "Propiedades omitidas: " : "Columnas omitidas: ") << skippedSummary(skipped) << ".\n";
    return kDone;
}

} // namespace

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, contacts::FileSystem &fs,
        const std::function<std::filesystem::path()> &defaultFolder)
{
    Options options;
    const std::string wrong = parse(args, options);
    if (!wrong.empty()) {
        err << kProgram << ": " << wrong << "\nUse \xC2\xAB" << kProgram << " --ayuda\xC2\xBB para ver c\xC3\xB3mo se usa.\n";
        return kBadUsage;
    }
    if (options.help) {
        out << kUsage;
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
