#include "wording/FileMessages.h"

#include "wording/Phrases.h"
#include "wording/SystemErrorText.h"

#include "contacts/ContactFile.h"

namespace wording {

const char *describe(contacts::FileOp op)
{
    using contacts::FileOp;
    switch (op) {
    case FileOp::Open: return "abrir el archivo";
    case FileOp::Read: return "leer el archivo";
    case FileOp::Write: return "escribir en el archivo";
    case FileOp::Flush: return "guardar en el disco el archivo";
    case FileOp::Length: return "obtener el tamaño del archivo";
    case FileOp::Close: return "cerrar el archivo";
    case FileOp::Rename: return "renombrar el archivo";
    case FileOp::Remove: return "eliminar el archivo";
    case FileOp::Lock: return "bloquear el archivo";
    case FileOp::SyncFolder: return "guardar en el disco la carpeta";
    case FileOp::CreateFolder: return "crear la carpeta";
    }
    return "usar el archivo";
}

bool heldByAnotherCopy(const contacts::FileError &error)
{
    return error.op() == contacts::FileOp::Lock && error.code() == std::errc::timed_out;
}

std::string anotherCopyText(const contacts::FileError &error)
{
    return "Otra copia de Vorteda está guardando cambios en este archivo: "
        + inQuotes(pathText(error.path().parent_path() / contacts::kDataFileName))
        + ".\nNo se ha cambiado nada. Vuelva a intentarlo.";
}

namespace {

// "leer el archivo «…»": what could not be done, to which file.
std::string whatFailed(const contacts::FileError &error)
{
    return std::string(describe(error.op())) + " " + inQuotes(pathText(error.path()));
}

} // namespace

std::string fileErrorMessage(std::string_view failure, const contacts::FileError &error)
{
    if (heldByAnotherCopy(error))
        return std::string(failure) + "\n\n" + anotherCopyText(error);
    return std::string(failure) + "\n\nNo se pudo " + whatFailed(error) + ".\nError del sistema: "
        + systemErrorText(error.code());
}

std::string fileErrorLine(const contacts::FileError &error)
{
    if (heldByAnotherCopy(error))
        return anotherCopyText(error);
    return "no se pudo " + whatFailed(error) + ": " + systemErrorText(error.code());
}

} // namespace wording
