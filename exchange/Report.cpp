#include "exchange/Report.h"

#include "exchange/Text.h"
#include "wording/FileMessages.h"
#include "wording/ImportWords.h"
#include "wording/SystemErrorText.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <fstream>
#include <functional>
#include <optional>
#include <streambuf>
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

// A file read through the file-system layer, as a stream that can seek. Before each
// piece the reader's progress is told how far it is, so that "Cancelar" is seen every
// 64 KiB of the file whatever the reader is doing with them, not only at its own
// reports. What the progress throws stops the reading and is thrown again by rethrow().
class FileBuffer : public std::streambuf {
public:
    FileBuffer(contacts::FileSystem &fs, contacts::FileHandle file, std::function<void(std::uint64_t)> told)
        : m_fs(fs)
        , m_file(file)
        , m_told(std::move(told))
        , m_buffer(64 * 1024)
    {
    }

    // The failure that ended the reading, if any: the stream says only that it is bad.
    const std::optional<contacts::FileError> &error() const { return m_error; }

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
        m_start += static_cast<std::uint64_t>(egptr() - eback());
        if (m_stopped)
            throw Stopped();
        if (m_told) {
            // The header is looked for more than once: the furthest point counts.
            m_furthest = std::max(m_furthest, m_start);
            try {
                m_told(m_furthest);
            } catch (...) {
                // The stream would swallow it and read on as if at the end.
                m_stopped = std::current_exception();
                throw Stopped();
            }
        }
        std::size_t got = 0;
        try {
            got = m_fs.read(m_file, m_start, m_buffer.data(), m_buffer.size());
        } catch (const contacts::FileError &error) {
            m_error = error;
            throw;
        }
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + got);
        return got == 0 ? traits_type::eof() : traits_type::to_int_type(m_buffer[0]);
    }

    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override
    {
        const auto here = static_cast<off_type>(m_start) + (gptr() - eback());
        off_type to = off;
        if (dir == std::ios_base::cur)
            to = here + off;
        else if (dir == std::ios_base::end)
            return pos_type(off_type(-1));
        return seekpos(pos_type(to), std::ios_base::in);
    }

    pos_type seekpos(pos_type pos, std::ios_base::openmode) override
    {
        if (off_type(pos) < 0)
            return pos_type(off_type(-1));
        m_start = static_cast<std::uint64_t>(off_type(pos));
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
        return pos;
    }

private:
    struct Stopped {};

    contacts::FileSystem &m_fs;
    contacts::FileHandle m_file;
    std::function<void(std::uint64_t)> m_told;
    std::exception_ptr m_stopped;
    std::uint64_t m_furthest = 0;
    std::vector<char> m_buffer;
    std::uint64_t m_start = 0; // the file offset of the buffer's first byte
    std::optional<contacts::FileError> m_error;
};

// What a path that is not a regular file is, in words.
std::string kindOfPath(const std::filesystem::path &path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::fifo)
        return "una tubería (FIFO)";
    if (status.type() == std::filesystem::file_type::socket)
        return "un socket";
    return "un dispositivo";
}

} // namespace

OpenedImport previewFile(const std::filesystem::path &path, const std::string &shown, contacts::ContactFile &file,
                         bool keepDuplicates, const ProgressOf &progress)
{
    const std::string nothing = "; no se ha cambiado " + inQuotes(pathText(file.dataPath())) + ".";
    OpenedImport opened;
    contacts::FileSystem &fs = file.fileSystem();
    // Closed however the reading ends, a stop asked through `progress` included.
    struct Closer {
        contacts::FileSystem &fs;
        std::optional<contacts::FileHandle> handle;
        ~Closer()
        {
            if (!handle)
                return;
            try {
                fs.close(*handle);
            } catch (const contacts::FileError &) {
                // Only read; nothing was written.
            }
        }
    } closer{fs, std::nullopt};
    std::optional<contacts::FileHandle> &handle = closer.handle;
    try {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            opened.refusal = inQuotes(shown) + " es una carpeta, no un archivo" + nothing;
            return opened;
        }
        // Only a regular file is opened: a FIFO would wait for ever, a device never end.
        try {
            handle = fs.open(path, contacts::FileSystem::OpenMode::ReadOnly);
        } catch (const contacts::FileError &error) {
            if (error.code() == contacts::notRegularFile())
                opened.refusal = inQuotes(shown) + " " + wording::notAFile(kindOfPath(path)) + nothing;
            else
                opened.refusal = "no se puede abrir " + inQuotes(shown) + ": " + wording::systemErrorText(error.code())
                    + nothing;
            return opened;
        }
        const std::uint64_t total = fs.length(*handle);
        std::uint64_t furthest = 0;
        Progress told;
        if (progress)
            told = [&](std::uint64_t bytes) {
                furthest = std::max(furthest, bytes);
                progress(furthest, total);
            };
        FileBuffer buffer(fs, *handle, told);
        std::istream in(&buffer);
        try {
            opened.preview = previewImport(in, file, keepDuplicates, told);
        } catch (...) {
            // What stopped the reading (the progress's "Cancelar", the file's failure)
            // rather than what the reader made of the stream's end.
            buffer.rethrow();
            if (buffer.error())
                throw *buffer.error();
            throw;
        }
        buffer.rethrow();
        if (buffer.error())
            throw *buffer.error();
    } catch (const ImportError &error) {
        opened.refusal = shown;
        if (error.line() > 0)
            opened.refusal += ", línea " + std::to_string(error.line());
        opened.refusal += ": " + std::string(error.what()) + nothing;
    } catch (const contacts::FileError &error) {
        // The words for another copy's lock already say that nothing changed.
        opened.preview.reset();
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
        {"X-ABLABEL", "etiqueta"}, {kNotPeople, "entradas que no son personas"},
        {kTooLong, "datos demasiado largos"}, {"o", "empresa"}, {"title", "cargo"},
        {"postalcode", "código postal"}, {"mozillahomepostalcode", "código postal"}, {"st", "provincia"},
        {"c", "país"}, {"description", "nota"}, {"member", "miembro"}};
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
    std::size_t listed = 0;
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
        else if (listed++ < wording::kListedAtMost)
            others += (others.empty() ? "" : ", ")
                + (vcard ? propertyWords(name) + " (" + std::to_string(n) + ")"
                         : inQuotes(printable(name)) + " (en " + count(n, "contacto", "contactos") + ")");
    }
    // A screenful at most, whatever the file names.
    if (listed > wording::kListedAtMost)
        others += ", " + wording::andMore(listed - wording::kListedAtMost);
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
