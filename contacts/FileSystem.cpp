#include "contacts/FileSystem.h"

namespace contacts {

FileError::FileError(FileOp op, std::filesystem::path path, std::error_code code)
    : std::runtime_error(std::string(name(op)) + " failed on " + path.string() + ": " + code.message())
    , m_op(op)
    , m_path(std::move(path))
    , m_code(code)
{
}

namespace {

class FileKindCategory final : public std::error_category {
public:
    const char *name() const noexcept override { return "vorteda-file"; }
    std::string message(int) const override { return "not a regular file"; }
};

} // namespace

std::error_code notRegularFile()
{
    static const FileKindCategory category;
    return std::error_code(1, category);
}

const char *name(FileOp op)
{
    switch (op) {
    case FileOp::Open: return "open";
    case FileOp::Read: return "read";
    case FileOp::Write: return "write";
    case FileOp::Flush: return "flush";
    case FileOp::Length: return "length";
    case FileOp::Close: return "close";
    case FileOp::Rename: return "rename";
    case FileOp::Remove: return "remove";
    case FileOp::Lock: return "lock";
    case FileOp::SyncFolder: return "syncfolder";
    case FileOp::CreateFolder: return "createfolder";
    }
    return "?";
}

} // namespace contacts
