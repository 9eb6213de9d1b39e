#include "exchange/Report.h"

#include "exchange/Text.h"
#include "wording/FileMessages.h"
#include "wording/SystemErrorText.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <istream>
#include <streambuf>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

namespace exchange {

std::string inQuotes(const std::string &text)
{
    return "«" + text + "»";
}

std::string pathText(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string count(std::uint64_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string fileErrorText(const contacts::FileError &error)
{
    if (wording::heldByAnotherCopy(error))
        return wording::anotherCopyText(error);
    return "no se pudo " + std::string(wording::describe(error.op())) + " " + inQuotes(pathText(error.path())) + ": "
        + wording::systemErrorText(error.code());
}

namespace {

// The file being imported, read a piece at a time: before each piece the reader's
// progress is told how far it is, so that "Cancelar" is seen every 64 KiB of the
// file whatever the reader is doing with them, not only at its own reports. What the
// progress throws stops the reading and is thrown again by rethrow().
class CheckedInput : public std::streambuf {
public:
    CheckedInput(std::streambuf &file, std::function<void(std::uint64_t bytes)> told)
        : m_file(file), m_told(std::move(told))
    {
    }

    void rethrow()
    {
        if (m_stopped)
            std::rethrow_exception(std::exchange(m_stopped, nullptr));
    }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        if (m_stopped)
            throw Stopped();
        if (m_told) {
            try {
                m_told(m_furthest);
            } catch (...) {
                // The stream would swallow it and read on as if at the end.
                m_stopped = std::current_exception();
                throw Stopped();
            }
        }
        const std::streamsize got = m_file.sgetn(m_buffer, sizeof m_buffer);
        if (got <= 0)
            return traits_type::eof();
        m_position += static_cast<std::uint64_t>(got);
        m_furthest = std::max(m_furthest, m_position);
        setg(m_buffer, m_buffer, m_buffer + got);
        return traits_type::to_int_type(*gptr());
    }

    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override
    {
        if (dir == std::ios_base::cur)
            return seekpos(pos_type(off_type(m_position) - (egptr() - gptr()) + off), which);
        return moved(m_file.pubseekoff(off, dir, which));
    }

    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override
    {
        return moved(m_file.pubseekpos(pos, which));
    }

private:
    struct Stopped {};

    pos_type moved(pos_type at)
    {
        setg(m_buffer, m_buffer, m_buffer);
        if (at != pos_type(off_type(-1)))
            m_position = static_cast<std::uint64_t>(off_type(at));
        return at;
    }

    std::streambuf &m_file;
    std::function<void(std::uint64_t)> m_told;
    std::exception_ptr m_stopped;
    std::uint64_t m_position = 0;
    std::uint64_t m_furthest = 0; // the header is looked for more than once
    char m_buffer[64 * 1024];
};

} // namespace

OpenedImport previewFile(const std::filesystem::path &path, const std::string &shown, contacts::ContactFile &file,
                         bool keepDuplicates, const ProgressOf &progress)
{
    const std::string nothing = "; no se ha cambiado " + inQuotes(pathText(file.dataPath())) + ".";
    OpenedImport opened;
    try {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            opened.refusal = inQuotes(shown) + " es una carpeta, no un archivo" + nothing;
            return opened;
        }
        errno = 0;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            opened.refusal = "no se puede abrir " + inQuotes(shown) + ": "
                + wording::systemErrorText(std::error_code(errno ? errno : ENOENT, std::generic_category())) + nothing;
            return opened;
        }
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        const std::uint64_t total = ec ? 0 : static_cast<std::uint64_t>(size);
        std::function<void(std::uint64_t)> told;
        std::uint64_t furthest = 0;
        if (progress)
            told = [&](std::uint64_t bytes) {
                furthest = std::max(furthest, bytes);
                progress(furthest, total);
            };
        CheckedInput checked(*in.rdbuf(), told);
        std::istream input(&checked);
        try {
            opened.preview = previewImport(input, file, keepDuplicates, told);
        } catch (...) {
            checked.rethrow();
            throw;
        }
        checked.rethrow();
    } catch (const ImportError &error) {
        opened.refusal = shown;
        if (error.line() > 0)
            opened.refusal += ", línea " + std::to_string(error.line());
        opened.refusal += ": " + std::string(error.what()) + nothing;
    } catch (const contacts::FileError &error) {
        // The words for another copy's lock already say that nothing changed.
        opened.refusal = fileErrorText(error) + (wording::heldByAnotherCopy(error) ? "" : nothing);
    }
    return opened;
}

std::string problemLine(const Problem &problem)
{
    return "línea " + std::to_string(problem.line) + ": " + problem.text + "; " + problem.omitted + ".";
}

namespace {

// A vCard property in plain words, with the article-less noun for a count.
std::string propertyWords(const std::string &name)
{
    static const std::pair<const char *, const char *> kNames[] = {
        {"PHOTO", "foto"}, {"LOGO", "logotipo"}, {"ORG", "empresa"}, {"TITLE", "cargo"}, {"ROLE", "función"},
        {"NOTE", "nota"}, {"BDAY", "cumpleaños"}, {"ANNIVERSARY", "aniversario"}, {"URL", "página web"},
        {"NICKNAME", "apodo"}, {"CATEGORIES", "grupos"}, {"UID", "identificador"}, {"REV", "fecha de cambio"},
        {"PRODID", "programa de origen"}, {"LABEL", "etiqueta de dirección"}, {"GEO", "situación"},
        {"TZ", "zona horaria"}, {"IMPP", "mensajería"}, {"GENDER", "sexo"}, {"KIND", "clase"},
        {"LANG", "idioma"}, {"KEY", "clave"}, {"SOUND", "sonido"}, {"MAILER", "programa de correo"},
        {"SORT-STRING", "orden"}, {"SOURCE", "origen"}, {"RELATED", "relación"}, {"MEMBER", "miembro"},
        {"X-ABLABEL", "etiqueta"}};
    for (const auto &[property, words] : kNames)
        if (name == property)
            return words;
    return printable(name);
}

} // namespace

// The further telephones, e-mails and addresses of a vCard, then everything else by
// name (a CSV's by its column's).
void skippedSummary(const Skipped &skipped, bool vcard, std::ostream &out)
{
    std::string others;
    for (const auto &[name, n] : skipped) {
        if (vcard && name == "TEL")
            out << count(n, "teléfono más no se guardó", "teléfonos más no se guardaron")
                << ": Vorteda guarda uno por contacto.\n";
        else if (vcard && name == "EMAIL")
            out << count(n, "correo electrónico más no se guardó",
                         "correos electrónicos más no se guardaron")
                << ": Vorteda guarda uno por contacto.\n";
        else if (vcard && name == "ADR")
            out << count(n, "dirección más no se guardó", "direcciones más no se guardaron")
                << ": Vorteda guarda una por contacto.\n";
        else if (vcard && name == "N")
            out << count(n, "nombre más no se guardó", "nombres más no se guardaron")
                << ": Vorteda guarda uno por contacto.\n";
        else
            others += (others.empty() ? "" : ", ")
                + (vcard ? propertyWords(name) + " (" + std::to_string(n) + ")"
                         : inQuotes(printable(name)) + " (en " + count(n, "contacto", "contactos") + ")");
    }
    if (!others.empty())
        out << (vcard ? "Otros datos que Vorteda no guarda y se omitieron: "
                      : "Columnas que Vorteda no guarda y se omitieron: ")
            << others << ".\n";
}

bool isContactsFile(const contacts::ContactFile &file, const std::filesystem::path &destination)
{
    namespace sfs = std::filesystem;
    const sfs::path data = file.dataPath();
    // The temporary file and the lock sit beside where the data file really is: for a
    // personas.dat that is a link, beside its target. Both folders count.
    std::vector<sfs::path> folders{data.parent_path()};
    std::error_code real;
    const sfs::path target = sfs::canonical(data, real);
    if (!real)
        folders.push_back(target.parent_path());
    std::error_code ec;
    const sfs::path wanted = sfs::weakly_canonical(sfs::absolute(destination, ec), ec);
    for (const sfs::path &folder : folders) {
        for (const char *name : {contacts::kDataFileName, contacts::kTempFileName, contacts::kLockFileName}) {
            const sfs::path ours = folder / name;
            std::error_code other;
            // The same file under another name: a link, a hard link, another case on Windows.
            if (sfs::equivalent(destination, ours, other))
                return true;
            if (!ec && sfs::weakly_canonical(sfs::absolute(ours, other), other) == wanted && !other)
                return true;
        }
    }
    return false;
}

std::string ontoContactsFile(const std::string &shown)
{
    return inQuotes(shown) + " es el archivo donde Vorteda guarda los contactos: exportar ahí los borraría. "
                             "No se ha escrito nada; elija otro nombre.";
}

} // namespace exchange
