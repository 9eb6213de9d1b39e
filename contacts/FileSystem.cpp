#include "FileSystem.h"

namespace contacts {

namespace {

std::string message(FileOp op, const std::filesystem::path &path, const std::error_code &code)
{
    return std::string("No se pudo ") + describe(op) + " \xC2\xAB" + path.string() + "\xC2\xBB: " + code.message();
}

} // namespace

FileError::FileError(FileOp op, std::filesystem::path path, std::error_code code)
    : std::runtime_error(message(op, path, code))
    , m_op(op)
    , m_path(std::move(path))
    , m_code(code)
{
}

const char *describe(FileOp op)
{
    switch (op) {
    case FileOp::Open: return "abrir";
    case FileOp::Read: return "leer";
    case FileOp::Write: return "escribir en";
    case FileOp::Flush: return "vaciar a disco";
    case FileOp::Truncate: return "truncar";
    case FileOp::Length: return "obtener el tama\xC3\xB1o de";
    case FileOp::Close: return "cerrar";
    case FileOp::Rename: return "renombrar";
    case FileOp::Remove: return "eliminar";
    case FileOp::Lock: return "bloquear";
    case FileOp::SyncFolder: return "sincronizar la carpeta de";
    }
    return "usar";
}

} // namespace contacts
