#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The windows' own messages, in Spanish (UTF-8).
namespace wording {

// What failed, as the first line of a file-error message (fileErrorMessage).
inline constexpr char kLoadFailed[] = "No se pudo cargar la lista de contactos.";
inline constexpr char kReadFailed[] = "No se pudo leer el contacto seleccionado.";
inline constexpr char kAddFailed[] = "No se pudo agregar el contacto.";
inline constexpr char kDeleteFailed[] = "No se pudo eliminar el contacto.";
inline constexpr char kModifyFailed[] = "No se pudo modificar el contacto.";

// What the progress window says while a command reads or writes the contacts file.
inline constexpr char kLoadingList[] = "Cargando la lista de contactos…";
inline constexpr char kAdding[] = "Agregando el contacto…";
inline constexpr char kDeleting[] = "Eliminando el contacto…";
inline constexpr char kModifying[] = "Modificando el contacto…";

// The selected entry no longer holds the contact that the fields show.
inline constexpr char kRecordChanged[] =
    "El contacto seleccionado ya no es el que se muestra: el archivo de contactos "
    "ha cambiado, quizá desde otra copia del programa.\n\n"
    "No se ha modificado nada. La lista se vuelve a cargar.";

// A window could not be made (out of the system's resources).
inline constexpr char kWindowFailed[] =
    "No se pudo abrir una ventana de Vorteda: el sistema no tiene recursos libres.\n\n"
    "Cierre otros programas y vuelva a abrir Vorteda. Sus contactos están guardados.";

// Importing and exporting contacts from the window.
inline constexpr char kImportTitle[] = "Importar contactos";
inline constexpr char kExportTitle[] = "Exportar contactos";
inline constexpr char kContactsFiles[] = "Contactos";
inline constexpr char kAllFiles[] = "Todos los archivos";
inline constexpr char kVCardFiles[] = "vCard";
inline constexpr char kCsvFiles[] = "CSV";
// The name the save dialog offers.
inline constexpr char kExportName[] = "contactos";
inline constexpr char kImportButton[] = "Importar";
inline constexpr char kCancelButton[] = "Cancelar";
inline constexpr char kImportFailed[] = "No se pudieron importar los contactos.";
inline constexpr char kExportFailed[] = "No se pudieron exportar los contactos.";
inline constexpr char kImporting[] = "Añadiendo los contactos a la lista…";
inline constexpr char kExporting[] = "Exportando los contactos…";
// While a file to import is read.
std::string reading(std::string_view file);

// What an import will do, for the question before it is done.
struct ImportFacts {
    std::string file;                              // as shown
    std::string format;                            // "vCard", "CSV"
    std::uint64_t added = 0;                       // new contacts
    std::uint64_t duplicates = 0;                  // already there, left out
    std::vector<std::array<std::string, 5>> first; // the first new ones, field by field
    std::vector<std::string> warnings;             // every warning, one a line
    std::string omitted;                           // what the file holds and Vorteda keeps nowhere
};
inline constexpr std::size_t kFirstShown = 5;
inline constexpr std::size_t kWarningsShown = 5;
// Of what the file holds and Vorteda keeps nowhere, the names listed; the rest counted.
inline constexpr std::size_t kOmittedShown = 8;
// "(y 3 más)": how many more there are past those.
std::string moreOmitted(std::uint64_t more);
// No line of the question is longer: a name in a file may be of any length.
inline constexpr std::size_t kLineShown = 300;
// At most a screenful, whatever the file holds.
std::string importConfirmation(const ImportFacts &facts);
// After the import: what was added, and what was there already, as the rewrite found
// the file (another copy may have changed it since the question). `asked` is how
// many the question said would be added.
std::string imported(std::string_view file, std::uint64_t added, std::uint64_t duplicates, std::uint64_t asked);
// Every contact of `file` is in the list already.
std::string nothingToImport(std::string_view file, std::uint64_t duplicates);
std::string exported(std::uint64_t contacts, std::string_view file, std::string_view format);

// Something that no handler expected stopped a command; `detail` is the technical
// line, possibly empty.
std::string unexpectedError(std::string_view detail);

} // namespace wording
