#include "wording/FileMessages.h"

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
    const std::u8string path = (error.path().parent_path() / contacts::kDataFileName).u8string();
    std::string text = "Otra copia de Vorteda está guardando cambios en este archivo: «";
    text.append(path.begin(), path.end());
    text += "».\nNo se ha cambiado nada. Vuelva a intentarlo.";
    return text;
}

std::string fileErrorMessage(std::string_view failure, const contacts::FileError &error)
{
    if (heldByAnotherCopy(error))
        return std::string(failure) + "\n\n" + anotherCopyText(error);
    const std::u8string path = error.path().u8string();
    std::string text(failure);
    text += "\n\nNo se pudo ";
    text += describe(error.op());
    text += " «";
    text.append(path.begin(), path.end());
    text += "».\nError del sistema: ";
    text += systemErrorText(error.code());
    return text;
}

} // namespace wording
