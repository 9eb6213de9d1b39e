#pragma once

#include <string>
#include <string_view>

// The windows' own messages, in Spanish (UTF-8).
namespace wording {

// What failed, as the first line of a file-error message (fileErrorMessage).
inline constexpr char kLoadFailed[] = "No se pudo cargar la lista de contactos.";
inline constexpr char kReadFailed[] = "No se pudo leer el contacto seleccionado.";
inline constexpr char kAddFailed[] = "No se pudo agregar el contacto.";
inline constexpr char kDeleteFailed[] = "No se pudo eliminar el contacto.";
inline constexpr char kModifyFailed[] = "No se pudo modificar el contacto.";

// The selected entry no longer holds the contact that the fields show.
inline constexpr char kRecordChanged[] =
    "El contacto seleccionado ya no es el que se muestra: el archivo de contactos "
    "ha cambiado, quizá desde otra copia del programa.\n\n"
    "No se ha modificado nada. La lista se vuelve a cargar.";

// A window could not be made (out of the system's resources).
inline constexpr char kWindowFailed[] =
    "No se pudo abrir una ventana de Vorteda: el sistema no tiene recursos libres.\n\n"
    "Cierre otros programas y vuelva a abrir Vorteda. Sus contactos están guardados.";

// Something that no handler expected stopped a command; `detail` is the technical
// line, possibly empty.
std::string unexpectedError(std::string_view detail);

} // namespace wording
