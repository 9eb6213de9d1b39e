#include "contacts/FileSystem.h"

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
    case FileOp::Open: return "abrir el archivo";
    case FileOp::Read: return "leer el archivo";
    case FileOp::Write: return "escribir en el archivo";
    case FileOp::Flush: return "guardar en el disco el archivo";
    case FileOp::Truncate: return "recortar el archivo";
    case FileOp::Length: return "obtener el tama\xC3\xB1o del archivo";
    case FileOp::Close: return "cerrar el archivo";
    case FileOp::Rename: return "renombrar el archivo";
    case FileOp::Remove: return "eliminar el archivo";
    case FileOp::Lock: return "bloquear el archivo";
    case FileOp::SyncFolder: return "guardar en el disco la carpeta";
    case FileOp::CreateFolder: return "crear la carpeta";
    }
    return "usar el archivo";
}

} // namespace contacts
