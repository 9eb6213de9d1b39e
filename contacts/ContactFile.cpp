#include "contacts/ContactFile.h"

#include "contacts/Cp1252.h"
#include "contacts/Sort.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace contacts {

namespace {

using OpenMode = FileSystem::OpenMode;

// Closes the file on every path; close() reports a failure, the destructor
// (reached only while another error is on its way) swallows it.
class OpenFile {
public:
    OpenFile(FileSystem &fs, std::filesystem::path path, OpenMode mode)
        : m_fs(fs)
        , m_path(std::move(path))
        , m_handle(fs.open(m_path, mode))
    {
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    ~OpenFile()
    {
        if (m_open) {
            try {
                m_fs.close(m_handle);
            } catch (...) {
            }
        }
    }

    FileHandle handle() const { return m_handle; }
    const std::filesystem::path &path() const { return m_path; }
    void close()
    {
        // The handle is gone even when close fails, so it is never closed twice.
        m_open = false;
        m_fs.close(m_handle);
    }

private:
    FileSystem &m_fs;
    std::filesystem::path m_path;
    FileHandle m_handle;
    bool m_open = true;
};

// Holds the folder's lock file for the whole of a command.
class FolderLock {
public:
    FolderLock(FileSystem &fs, const std::filesystem::path &folder)
        : m_fs(fs)
        , m_handle(fs.lock(folder / kLockFileName))
    {
    }
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    ~FolderLock()
    {
        if (m_held) {
            try {
                m_fs.unlock(m_handle);
            } catch (...) {
            }
        }
    }
    // The command's work is done by now, so a failure to let go is not its failure;
    // the lock goes with the handle anyway.
    void release()
    {
        m_held = false;
        try {
            m_fs.unlock(m_handle);
        } catch (const FileError &) {
        }
    }

private:
    FileSystem &m_fs;
    FileHandle m_handle;
    bool m_held = true;
};

// The whole data file, counted as records; a partly present last record that
// still counts is completed with spaces.
struct Contents {
    std::unique_ptr<char[]> bytes;
    std::uint64_t count = 0;

    const char *record(std::uint64_t index) const { return bytes.get() + index * kRecordSize; }
};

// `adding`: the records the command is about to add, refused here when the file has
// no room for them, before the whole of it is read.
Contents loadAll(FileSystem &fs, OpenFile &file, std::uint64_t adding = 0)
{
    const std::uint64_t length = fs.length(file.handle());
    Contents contents;
    contents.count = static_cast<std::uint64_t>(recordCount(length));
    // A larger file is refused rather than read: every command holds the whole file
    // in memory, and a huge or sparse file must not exhaust it.
    if (contents.count > kMaxRecords)
        throw FileError(FileOp::Read, file.path(), std::make_error_code(std::errc::file_too_large));
    // A file written past the limit could not be loaded again, by any command.
    if (adding > kMaxRecords - contents.count)
        throw FileError(FileOp::Write, file.path(), std::make_error_code(std::errc::file_too_large));
    const std::size_t size = contents.count * kRecordSize;
    contents.bytes.reset(new (std::nothrow) char[size]);
    if (!contents.bytes)
        throw FileError(FileOp::Read, file.path(), std::make_error_code(std::errc::not_enough_memory));
    // One call: the file system loops over the system's short reads itself.
    const std::size_t got = size == 0 ? 0 : fs.read(file.handle(), 0, contents.bytes.get(), std::min<std::uint64_t>(size, length));
    std::memset(contents.bytes.get() + got, ' ', size - got);
    return contents;
}

// Where a command that rewrites the data file does its work. A data file that is a
// link is replaced where it leads: renaming over the link itself would turn it into
// a plain file and leave the linked file behind, unchanged, for good. The temporary
// file, the lock and the folder synced are all beside that file, so that two links
// to one file share one lock.
struct Place {
    std::filesystem::path data;
    std::filesystem::path folder;
};

Place placeOf(FileSystem &fs, const std::filesystem::path &dataPath)
{
    std::filesystem::path data = fs.resolve(dataPath);
    // A link to the program's own temporary or lock file would have the rewrite
    // delete the very file it copies.
    if (data != dataPath && (data.filename() == kTempFileName || data.filename() == kLockFileName))
        throw FileError(FileOp::Open, dataPath, std::make_error_code(std::errc::invalid_argument));
    std::filesystem::path folder = data.parent_path();
    return {std::move(data), std::move(folder)};
}

// Writes the records `order` names (and `tail` after them) to a fresh temporary
// file and swaps it in for the data file with one rename. Until the rename the data
// file is untouched; a failure before it leaves no temporary file behind. `stamped`,
// when given, receives the new file's stamp, taken once it is closed (Windows may
// set its time on the close) and before the rename, which changes none of it.
void rewrite(FileSystem &fs, const Place &place, const Contents &contents, const std::vector<std::uint32_t> &order,
             const Record *tail, FileStamp *stamped = nullptr)
{
    const auto tempPath = place.folder / kTempFileName;
    try {
        // A temporary file left by an interrupted rewrite is ours to replace, even when
        // it has been made read-only or is a link to another file: remove it, then
        // create a fresh, empty one, so that none of its records leak in.
        try {
            fs.remove(tempPath);
        } catch (const FileError &error) {
            if (error.code() != std::errc::no_such_file_or_directory)
                throw;
        }
        OpenFile out(fs, tempPath, OpenMode::ReadWriteEmpty);
        constexpr std::size_t kChunkRecords = (std::size_t(1) << 20) / kRecordSize;
        std::vector<char> chunk;
        chunk.reserve(kChunkRecords * kRecordSize);
        std::uint64_t offset = 0;
        auto put = [&](const char *record) {
            chunk.insert(chunk.end(), record, record + kRecordSize);
            if (chunk.size() == kChunkRecords * kRecordSize) {
                fs.write(out.handle(), offset, chunk.data(), chunk.size());
                offset += chunk.size();
                chunk.clear();
            }
        };
        for (std::uint32_t index : order)
            put(contents.record(index));
        if (tail)
            put(tail->data());
        if (!chunk.empty())
            fs.write(out.handle(), offset, chunk.data(), chunk.size());
        fs.flush(out.handle());
        out.close();
        if (stamped) {
            OpenFile written(fs, tempPath, OpenMode::ReadOnly);
            *stamped = fs.stamp(written.handle());
            written.close();
        }
        fs.rename(tempPath, place.data);
    } catch (...) {
        try {
            fs.remove(tempPath);
        } catch (...) {
        }
        throw;
    }
    // The change is in place from the rename on; reporting a failure now would have
    // the user repeat a command that happened (and add a contact twice). A folder
    // that could not be synced only leaves the old contents possible after a power
    // cut, never a mix.
    try {
        fs.syncFolder(place.folder);
    } catch (const FileError &) {
    }
}

// Opens the data file for a command that only reads it; a missing file holds no
// records. Returns false in that case.
bool openExisting(FileSystem &fs, const std::filesystem::path &path, std::optional<OpenFile> &file)
{
    try {
        file.emplace(fs, path, OpenMode::ReadOnly);
    } catch (const FileError &error) {
        if (error.op() == FileOp::Open && error.code() == std::errc::no_such_file_or_directory)
            return false;
        throw;
    }
    return true;
}

// Every record's index except `dropped`, in file order.
std::vector<std::uint32_t> allBut(std::uint64_t count, std::uint64_t dropped)
{
    std::vector<std::uint32_t> order;
    order.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i) {
        if (i != dropped)
            order.push_back(static_cast<std::uint32_t>(i));
    }
    return order;
}

bool isPermissionError(const FileError &error)
{
    const std::error_code code = error.code();
    return error.op() == FileOp::Open
        && (code == std::errc::permission_denied || code == std::errc::operation_not_permitted
            || code == std::errc::read_only_file_system);
}

// The whole file, provided record `index` is there and still holds `expected`.
std::optional<Contents> loadMatching(FileSystem &fs, const std::filesystem::path &path, std::int64_t index,
                                     const Record &expected)
{
    // Opened for writing although only read: the rename would replace a data file
    // that the user may not write, so such a file is refused here.
    std::optional<OpenFile> data;
    try {
        data.emplace(fs, path, OpenMode::ReadWriteExisting);
    } catch (const FileError &error) {
        if (error.op() == FileOp::Open && error.code() == std::errc::no_such_file_or_directory)
            return std::nullopt;
        throw;
    }
    Contents contents = loadAll(fs, *data);
    data->close();
    if (index < 0 || static_cast<std::uint64_t>(index) >= contents.count
        || std::memcmp(contents.record(static_cast<std::uint64_t>(index)), expected.data(), kRecordSize) != 0)
        return std::nullopt;
    return contents;
}

// The trimmed surnames of the records `order` names, in that order.
std::vector<std::string> surnames(const Contents &contents, const std::vector<std::uint32_t> &order)
{
    std::vector<std::string> result;
    result.reserve(order.size());
    for (std::uint32_t index : order) {
        const std::string_view surname(contents.record(index), kFieldWidths[0]);
        result.push_back(decodeCp1252(trimSpaces(surname)));
    }
    return result;
}

} // namespace

std::int64_t recordCount(std::uint64_t length)
{
    // 105 is odd, so there is never an exact half to round.
    return static_cast<std::int64_t>(length / kRecordSize + (length % kRecordSize >= (kRecordSize + 1) / 2 ? 1 : 0));
}

std::int64_t appendPosition(std::uint64_t length)
{
    // length / 105 + 1 rounds exactly as length / 105 does, one higher.
    return recordCount(length) + 1;
}

ContactFile::ContactFile(FileSystem &fs, std::filesystem::path folder)
    : m_fs(fs)
    , m_folder(std::move(folder))
{
}

std::filesystem::path ContactFile::dataPath() const
{
    return m_folder / kDataFileName;
}

std::vector<std::string> ContactFile::sortAndList(FileStamp *listed)
{
    const Place place = placeOf(m_fs, dataPath());
    FolderLock lock(m_fs, place.folder);
    // A data file the user may only read is still listed while it needs no sorting;
    // only replacing it is refused.
    std::optional<FileError> notWritable;
    std::optional<OpenFile> data;
    try {
        data.emplace(m_fs, place.data, OpenMode::ReadWrite);
    } catch (const FileError &error) {
        if (!isPermissionError(error))
            throw;
        notWritable = error;
        data.emplace(m_fs, place.data, OpenMode::ReadOnly);
    }
    const Contents contents = loadAll(m_fs, *data);
    if (listed)
        *listed = m_fs.stamp(data->handle());
    data->close();

    std::vector<std::uint32_t> order = swapSortOrder(contents.bytes.get(), contents.count);
    bool inPlace = true;
    for (std::uint32_t p = 0; p < order.size() && inPlace; ++p)
        inPlace = order[p] == p;
    // A file already in order is left alone: no write, no new modification time.
    if (!inPlace) {
        if (notWritable)
            throw *notWritable;
        rewrite(m_fs, place, contents, order, nullptr, listed);
    }
    lock.release();

    return surnames(contents, order);
}

std::vector<std::string> ContactFile::list(FileStamp *listed)
{
    if (listed)
        *listed = FileStamp{};
    std::optional<OpenFile> data;
    if (!openExisting(m_fs, dataPath(), data))
        return {};
    const Contents contents = loadAll(m_fs, *data);
    if (listed)
        *listed = m_fs.stamp(data->handle());
    data->close();
    std::vector<std::uint32_t> order(contents.count);
    for (std::uint32_t p = 0; p < order.size(); ++p)
        order[p] = p;
    return surnames(contents, order);
}

std::optional<Record> ContactFile::read(std::int64_t index, FileStamp *from)
{
    if (from)
        *from = FileStamp{};
    constexpr auto kLastIndex = std::numeric_limits<std::int64_t>::max() / std::int64_t(kRecordSize) - 1;
    if (index < 0 || index > kLastIndex)
        return std::nullopt;
    // No lock: the data file is only ever replaced whole, by a rename.
    std::optional<OpenFile> file;
    if (!openExisting(m_fs, dataPath(), file))
        return std::nullopt;
    // From the handle the record is read through: whatever replaces the file
    // meanwhile, the stamp and the record belong together.
    if (from)
        *from = m_fs.stamp(file->handle());
    Record record;
    const std::size_t got = m_fs.read(file->handle(), std::uint64_t(index) * kRecordSize, record.data(), kRecordSize);
    file->close();
    // A partial record counts once at least half of it is there.
    if (got < (kRecordSize + 1) / 2)
        return std::nullopt;
    std::fill(record.begin() + got, record.end(), ' ');
    return record;
}

FileStamp ContactFile::stamp()
{
    std::optional<OpenFile> data;
    if (!openExisting(m_fs, dataPath(), data))
        return FileStamp{};
    const FileStamp now = m_fs.stamp(data->handle());
    data->close();
    return now;
}

void ContactFile::append(const Persona &persona)
{
    const Place place = placeOf(m_fs, dataPath());
    FolderLock lock(m_fs, place.folder);
    // Written through the same rewrite as every other change, never in place: a
    // write cut short (disk full, a crash) must not leave part of a record behind.
    OpenFile data(m_fs, place.data, OpenMode::ReadWrite);
    const Contents contents = loadAll(m_fs, data, 1);
    data.close();
    const Record record = encode(persona);
    rewrite(m_fs, place, contents, allBut(contents.count, contents.count), &record);
    lock.release();
}

void ContactFile::appendAll(std::vector<Record> records)
{
    appendAll(std::move(records), nullptr);
}

void ContactFile::appendAll(std::vector<Record> records, const Chooser &choose)
{
    const Place place = placeOf(m_fs, dataPath());
    FolderLock lock(m_fs, place.folder);
    Contents contents;
    {
        OpenFile data(m_fs, place.data, OpenMode::ReadWrite);
        const Contents old = loadAll(m_fs, data);
        data.close();
        if (choose)
            choose(old.bytes.get(), old.count, records);
        if (records.size() > kMaxRecords - old.count)
            throw FileError(FileOp::Write, place.data, std::make_error_code(std::errc::file_too_large));
        contents.count = old.count + records.size();
        contents.bytes.reset(new (std::nothrow) char[contents.count * kRecordSize]);
        if (!contents.bytes)
            throw FileError(FileOp::Write, place.data, std::make_error_code(std::errc::not_enough_memory));
        std::memcpy(contents.bytes.get(), old.bytes.get(), old.count * kRecordSize);
        // Record is a plain array of 105 chars, so the vector's storage is the records end to end.
        static_assert(sizeof(Record) == kRecordSize);
        if (!records.empty())
            std::memcpy(contents.bytes.get() + old.count * kRecordSize, records.data(), records.size() * kRecordSize);
    }
    // A million contacts are 105 MB: let go of the caller's copy before the sort.
    records = {};
    rewrite(m_fs, place, contents, swapSortOrder(contents.bytes.get(), contents.count), nullptr);
    lock.release();
}

void ContactFile::forEachRecord(const std::function<void(const char *record)> &visit)
{
    // No lock: the data file is only ever replaced whole, by a rename.
    std::optional<OpenFile> data;
    if (!openExisting(m_fs, dataPath(), data))
        return;
    const Contents contents = loadAll(m_fs, *data);
    data->close();
    for (std::uint64_t i = 0; i < contents.count; ++i)
        visit(contents.record(i));
}

bool ContactFile::remove(std::int64_t index, const Record &expected)
{
    const Place place = placeOf(m_fs, dataPath());
    FolderLock lock(m_fs, place.folder);
    const auto contents = loadMatching(m_fs, place.data, index, expected);
    // A matching record is one that exists: `index` is within 0 .. count - 1.
    if (contents)
        rewrite(m_fs, place, *contents, allBut(contents->count, static_cast<std::uint64_t>(index)), nullptr);
    lock.release();
    return contents.has_value();
}

bool ContactFile::modify(std::int64_t index, const Record &expected, const Persona &replacement)
{
    const Place place = placeOf(m_fs, dataPath());
    FolderLock lock(m_fs, place.folder);
    const auto contents = loadMatching(m_fs, place.data, index, expected);
    if (contents) {
        const Record record = encode(replacement);
        rewrite(m_fs, place, *contents, allBut(contents->count, static_cast<std::uint64_t>(index)), &record);
    }
    lock.release();
    return contents.has_value();
}

} // namespace contacts
