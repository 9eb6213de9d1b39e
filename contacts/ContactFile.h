#pragma once

#include "contacts/FileSystem.h"
#include "contacts/Persona.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace contacts {

inline constexpr char kDataFileName[] = "personas.dat";
inline constexpr char kTempFileName[] = "personas.tmp";
inline constexpr char kLockFileName[] = "personas.lck";

// The most records a contact file may hold: about 1.7 GB.
inline constexpr std::uint64_t kMaxRecords = std::uint64_t(1) << 24;

// Record count of a file of `length` bytes: length / 105 rounded to the nearest
// whole number (a remainder of 53 bytes or more counts as one more record).
std::int64_t recordCount(std::uint64_t length);
// The 1-based record position at which an append writes: length / 105 + 1, rounded.
std::int64_t appendPosition(std::uint64_t length);

// The contact file "personas.dat" in one folder. Every operation opens what it needs
// and closes it before returning; commands that change the file hold the folder's
// lock file for their whole read-modify-write, and replace the file through
// "personas.tmp" and one atomic rename so that the data file is always either
// the old or the new complete contents. Any failure raises FileError and leaves
// "personas.dat" as it was before the call. Once the change is in place (the
// rename), nothing more is raised: a failure to make the rename durable or to
// release the lock is not the command's failure, and the file holds the complete
// new contents.
// A "personas.dat" that is a symbolic link is changed where it leads, and the
// link stays.
class ContactFile {
public:
    ContactFile(FileSystem &fs, std::filesystem::path folder);

    std::filesystem::path dataPath() const;
    // The layer every file call goes through: an import reads its file there, and an
    // export writes beside the contacts there too.
    FileSystem &fileSystem() const { return m_fs; }

    // The list load: sorts the file by given name (written only when the order
    // changes; created empty when missing) and returns every record's trimmed
    // surname in file order. `listed`, when given, receives the stamp of the file
    // the surnames come from, taken under the lock.
    std::vector<std::string> sortAndList(FileStamp *listed = nullptr);

    // Every record's trimmed surname in the file's present order, without sorting:
    // what the list shows when the sorted file cannot be written.
    std::vector<std::string> list(FileStamp *listed = nullptr);

    // Record at list index `index` (record index + 1), read by its offset. Missing
    // bytes of a partly present last record read as spaces; past the end, nullopt.
    // `from`, when given, receives the stamp of the file the record was read from.
    std::optional<Record> read(std::int64_t index, FileStamp *from = nullptr);

    // The data file's stamp as it stands now; a missing file's when there is none.
    FileStamp stamp();

    // Adds `persona` as a new last record, at the append position: a partly present
    // last record that counts stays, completed with spaces; a shorter tail goes.
    // Refused (FileError, nothing changed) when the file already holds kMaxRecords.
    void append(const Persona &persona);

    // Adds `records` after the file's own in one rewrite, leaving the file in the
    // order the next list load would give it, so that the load has nothing to write.
    // Refused whole (FileError, nothing changed) beyond kMaxRecords.
    void appendAll(std::vector<Record> records);
    // The same, but `choose` first sees the file's records as they stand under the
    // lock (`count` records of 105 bytes end to end) and may drop some of `records`:
    // an import leaves out the contacts that are already there.
    using Chooser = std::function<void(const char *existing, std::uint64_t count, std::vector<Record> &records)>;
    void appendAll(std::vector<Record> records, const Chooser &choose);

    // Calls `visit` with each record's 105 bytes in file order (a partly present last
    // record completed with spaces); a missing file has none.
    void forEachRecord(const std::function<void(const char *record)> &visit);

    // Drops record `index`, provided it still holds `expected` (what this window
    // last showed for that entry); returns false, changing nothing, otherwise.
    bool remove(std::int64_t index, const Record &expected);

    // One rewrite: every other record in its order, then `replacement` at the end;
    // false, changing nothing, when the record no longer holds `expected`.
    bool modify(std::int64_t index, const Record &expected, const Persona &replacement);

private:
    FileSystem &m_fs;
    std::filesystem::path m_folder;
};

} // namespace contacts
