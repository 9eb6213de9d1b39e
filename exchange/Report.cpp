#include "exchange/Report.h"

#include "exchange/Text.h"
#include "wording/ExchangeWords.h"
#include "wording/Phrases.h"
#include "wording/FileMessages.h"
#include "wording/ImportWords.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <streambuf>
#include <system_error>
#include <utility>
#include <vector>

namespace exchange {

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

// A path that is not a regular file, in the words' terms.
wording::NotAFile notAFile(contacts::PathKind kind)
{
    return kind == contacts::PathKind::Fifo     ? wording::NotAFile::Fifo
        : kind == contacts::PathKind::Socket ? wording::NotAFile::Socket
                                             : wording::NotAFile::Device;
}

} // namespace

OpenedImport previewFile(const std::filesystem::path &path, const std::string &shown, contacts::ContactFile &file,
                         bool keepDuplicates, const ProgressOf &progress)
{
    const std::string nothing = wording::nothingChanged(file.dataPath());
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
        // Only a regular file is opened: a FIFO would wait for ever, a device never end.
        // The open refuses them too, should the path change in between.
        using contacts::PathKind;
        PathKind kind = PathKind::File;
        try {
            kind = fs.kind(path);
            if (kind == PathKind::Folder) {
                opened.refusal = wording::isAFolder(shown) + nothing;
                return opened;
            }
            if (kind == PathKind::Fifo || kind == PathKind::Socket || kind == PathKind::Device) {
                opened.refusal = wording::notAFile(shown, notAFile(kind)) + nothing;
                return opened;
            }
            handle = fs.open(path, contacts::FileSystem::OpenMode::ReadOnly);
        } catch (const contacts::FileError &error) {
            if (error.code() == contacts::notRegularFile())
                opened.refusal = wording::notAFile(shown, notAFile(kind)) + nothing;
            else
                opened.refusal = wording::cannotOpen(shown, error.code()) + nothing;
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
        opened.refusal = wording::refusedAt(shown, error.line(), error.what()) + nothing;
    } catch (const contacts::FileError &error) {
        // The words for another copy's lock already say that nothing changed.
        opened.preview.reset();
        opened.refusal = wording::fileErrorLine(error) + (wording::heldByAnotherCopy(error) ? "" : nothing);
    }
    return opened;
}

std::string problemLine(const Problem &problem)
{
    return wording::problemLine(problem.line, problem.text, problem.omitted);
}

void skippedSummary(const Skipped &skipped, bool vcard, std::ostream &out)
{
    std::vector<wording::NotKept> named;
    named.reserve(skipped.size());
    for (const auto &[name, n] : skipped)
        named.push_back({name, printable(name), n});
    out << wording::notKeptSummary(named, vcard);
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

} // namespace exchange
