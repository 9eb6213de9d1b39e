#include "wording/SystemErrorText.h"

#include "contacts/FileSystem.h"

#include <cerrno>
#include <cstring>

namespace wording {

std::string errnoText(int number)
{
    switch (number) {
    case EACCES:
    case EPERM: return "Permiso denegado";
    case EROFS: return "El sistema de archivos es de solo lectura";
    case ENOSPC: return "No queda espacio en el dispositivo";
#ifdef EDQUOT
    case EDQUOT: return "Se ha excedido la cuota de disco";
#endif
    case ENOENT: return "No existe el archivo o la carpeta";
    case EISDIR: return "Es una carpeta";
    case ENOTDIR: return "No es una carpeta";
    case EFBIG: return "El archivo es demasiado grande";
    case EMFILE: return "Hay demasiados archivos abiertos";
    case ENFILE: return "Hay demasiados archivos abiertos en el sistema";
    case ENAMETOOLONG: return "El nombre del archivo es demasiado largo";
    case EIO: return "Error de entrada/salida";
    case EBUSY: return "El dispositivo o recurso está ocupado";
    case EMLINK: return "Demasiados enlaces";
#ifdef ELOOP
    case ELOOP: return "Demasiados niveles de enlaces simbólicos";
#endif
    case EEXIST: return "El archivo ya existe";
    case ENOTEMPTY: return "La carpeta no está vacía";
    case EXDEV: return "El enlace cruza dispositivos";
    case EINVAL: return "Argumento no válido";
    case ETXTBSY: return "El archivo de texto está ocupado";
    case ENXIO: return "No existe el dispositivo o la dirección";
    case ENODEV: return "No existe el dispositivo";
    case ENOMEM: return "No hay memoria suficiente";
    case EAGAIN: return "El recurso no está disponible temporalmente";
#ifdef ESTALE
    case ESTALE: return "El identificador de archivo de red ya no es válido";
#endif
    case EINTR: return "Llamada al sistema interrumpida";
    case EBADF: return "Descriptor de archivo no válido";
    case EOVERFLOW: return "El valor es demasiado grande para el tipo de datos";
    case ENOLCK: return "No hay bloqueos disponibles";
    case EDEADLK: return "Se ha evitado un interbloqueo de recursos";
    default: return {};
    }
}

std::string win32ErrorText(unsigned long number)
{
    // Win32's numbers, written out so that this table builds and is tested anywhere.
    switch (number) {
    case 2: return "No se encuentra el archivo";                           // ERROR_FILE_NOT_FOUND
    case 3: return "No se encuentra la ruta de acceso";                     // ERROR_PATH_NOT_FOUND
    case 4: return "Hay demasiados archivos abiertos";                      // ERROR_TOO_MANY_OPEN_FILES
    case 5: return "Acceso denegado";                                       // ERROR_ACCESS_DENIED
    case 6: return "Identificador de archivo no válido";                    // ERROR_INVALID_HANDLE
    case 8: return "No hay memoria suficiente";                             // ERROR_NOT_ENOUGH_MEMORY
    case 14: return "No hay memoria suficiente";                            // ERROR_OUTOFMEMORY
    case 15: return "No se encuentra la unidad";                            // ERROR_INVALID_DRIVE
    case 17: return "No se puede mover el archivo a otra unidad";           // ERROR_NOT_SAME_DEVICE
    case 19: return "El disco está protegido contra escritura";             // ERROR_WRITE_PROTECT
    case 21: return "El dispositivo no está listo";                         // ERROR_NOT_READY
    case 23: return "Error de datos (comprobación de redundancia cíclica)"; // ERROR_CRC
    case 25: return "No se encuentra el área pedida del disco";             // ERROR_SEEK
    case 29: return "No se puede escribir en el dispositivo";               // ERROR_WRITE_FAULT
    case 30: return "No se puede leer del dispositivo";                     // ERROR_READ_FAULT
    case 31: return "Un dispositivo no funciona";                           // ERROR_GEN_FAILURE
    case 32: return "Otro proceso está usando el archivo";                  // ERROR_SHARING_VIOLATION
    case 33: return "Otro proceso ha bloqueado una parte del archivo";      // ERROR_LOCK_VIOLATION
    case 39: return "El disco está lleno";                                  // ERROR_HANDLE_DISK_FULL
    case 53: return "No se encuentra la ruta de red";                       // ERROR_BAD_NETPATH
    case 64: return "El nombre de red ya no está disponible";               // ERROR_NETNAME_DELETED
    case 80: return "El archivo ya existe";                                 // ERROR_FILE_EXISTS
    case 82: return "No se puede crear el archivo o la carpeta";            // ERROR_CANNOT_MAKE
    case 87: return "Parámetro no válido";                                  // ERROR_INVALID_PARAMETER
    case 112: return "No queda espacio en el disco";                        // ERROR_DISK_FULL
    case 123: return "El nombre del archivo o de la carpeta no es válido";  // ERROR_INVALID_NAME
    case 145: return "La carpeta no está vacía";                            // ERROR_DIR_NOT_EMPTY
    case 170: return "El recurso está ocupado";                             // ERROR_BUSY
    case 183: return "El archivo ya existe";                                // ERROR_ALREADY_EXISTS
    case 206: return "El nombre del archivo es demasiado largo";            // ERROR_FILENAME_EXCED_RANGE
    case 267: return "No es una carpeta válida";                            // ERROR_DIRECTORY
    case 1224: return "El archivo está abierto como sección asignada";      // ERROR_USER_MAPPED_FILE
    case 1920: return "El sistema no puede acceder al archivo";             // ERROR_CANT_ACCESS_FILE
    case 1921: return "No se puede resolver el enlace simbólico";           // ERROR_CANT_RESOLVE_FILENAME
    default: return {};
    }
}

std::string systemErrorText(const std::error_code &code)
{
    const std::error_category &category = code.category();
    // The Windows file layer reports Win32 numbers in a category of its own named
    // "win32"; the standard library's system category holds them there too.
#ifdef _WIN32
    const bool win32 = category == std::system_category() || std::strcmp(category.name(), "win32") == 0;
#else
    const bool win32 = std::strcmp(category.name(), "win32") == 0;
#endif
    std::string text;
    if (code == contacts::notRegularFile())
        return "No es un archivo corriente, sino una tubería o un dispositivo";
    if (win32)
        text = win32ErrorText(static_cast<unsigned long>(code.value()));
    else if (category == std::generic_category() || category == std::system_category())
        text = errnoText(code.value());
    if (text.empty()) {
        // A number the program has no words for: what its meaning maps to, if anything.
        const std::error_condition condition = code.default_error_condition();
        if (condition.category() == std::generic_category())
            text = errnoText(condition.value());
    }
    if (text.empty())
        text = code.message() + " (error " + std::to_string(code.value()) + ")";
    return text;
}

} // namespace wording
