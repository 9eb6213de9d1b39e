#pragma once

#include "contacts/FileSystem.h"

#include <filesystem>
#include <system_error>

namespace platform {

// The folder that holds "personas.dat", "personas.tmp" and "personas.lck".
struct ContactsFolder {
    std::filesystem::path path;
    // Why the folder could not be found or made; the path then names what was tried.
    std::error_code error;
};

// The two places a program may keep them.
ContactsFolder besideProgram();
// "$XDG_DATA_HOME/vorteda", by default "~/.local/share/vorteda" (a relative
// XDG_DATA_HOME is ignored); "%LOCALAPPDATA%\Vorteda" on Windows. Missing folders
// are made private to the user (0700); the home folder itself must exist.
ContactsFolder inUserData();

// Where this program keeps the contacts, fixed when it is built: a portable program
// beside its executable; an installed one (compiled with
// VORTEDA_CONTACTS_IN_USER_DATA) in the user's own data folder, made on first start.
// Inline, so that the choice is each program's own: one build makes the portable
// Vorteda.exe and the one the Windows installer puts in place, alike but for this.
inline ContactsFolder contactsFolder()
{
#ifdef VORTEDA_CONTACTS_IN_USER_DATA
    return inUserData();
#else
    return besideProgram();
#endif
}

// Whether contactsFolder() is the user's data folder.
inline constexpr bool contactsInUserData()
{
#ifdef VORTEDA_CONTACTS_IN_USER_DATA
    return true;
#else
    return false;
#endif
}

// The files of the contacts folder: the system's when the folder is there, and
// otherwise every call fails naming the folder and why it could not be made, so
// that the window reports it as it reports any file error and loses nothing.
class ContactsFileSystem final : public contacts::FileSystem {
public:
    ContactsFileSystem(contacts::FileSystem &files, ContactsFolder folder);

    const std::filesystem::path &folder() const { return m_folder.path; }

    contacts::FileHandle open(const std::filesystem::path &path, OpenMode mode) override;
    contacts::PathKind kind(const std::filesystem::path &path) override;
    std::size_t read(contacts::FileHandle file, std::uint64_t offset, void *buffer, std::size_t size) override;
    void write(contacts::FileHandle file, std::uint64_t offset, const void *data, std::size_t size) override;
    void flush(contacts::FileHandle file) override;
    std::uint64_t length(contacts::FileHandle file) override;
    contacts::FileStamp stamp(contacts::FileHandle file) override;
    void close(contacts::FileHandle file) override;
    void rename(const std::filesystem::path &from, const std::filesystem::path &to) override;
    void remove(const std::filesystem::path &path) override;
    contacts::FileHandle lock(const std::filesystem::path &path) override;
    void unlock(contacts::FileHandle lock) override;
    void syncFolder(const std::filesystem::path &folder) override;
    std::filesystem::path resolve(const std::filesystem::path &path) override;

private:
    contacts::FileSystem &ready();

    contacts::FileSystem &m_files;
    ContactsFolder m_folder;
};

} // namespace platform
