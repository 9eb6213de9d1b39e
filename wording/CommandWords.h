#pragma once

// What vorteda-contactos says: its help, why its arguments are wrong, and its report
// of an export or an import. The windows say the same things in their own words
// (Messages.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace wording {

// The help, around the name of the folder used without --carpeta.
inline constexpr char kUsage[] =
    "Uso: vorteda-contactos exportar ARCHIVO [--formato vcard|csv] [--carpeta DIR]\n"
    "     vorteda-contactos importar ARCHIVO [--prueba] [--duplicados] [--carpeta DIR]\n"
    "     vorteda-contactos --ayuda | --version\n"
    "\n"
    "exportar     Escribe todos los contactos, en el orden del archivo, en ARCHIVO:\n"
    "             vCard 3.0 si termina en .vcf, CSV si termina en .csv. Con «-» los\n"
    "             escribe en la salida estándar (indique --formato).\n"
    "importar     Añade a personas.dat los contactos de un archivo vCard (2.1, 3.0 o\n"
    "             4.0), LDIF o CSV, y lo deja ordenado por nombre. Los contactos que ya\n"
    "             estaban no se añaden otra vez.\n"
    "--prueba     Solo muestra el informe; no escribe nada.\n"
    "--duplicados Añade también los contactos que ya estaban.\n"
    "--carpeta    La carpeta de los contactos (por omisión, ";
// The rest of the help, after the default folder's name.
inline constexpr char kUsageRest[] =
    ").\n"
    "\n"
    "El archivo se reconoce por lo que es: vCard si empieza por BEGIN:VCARD, LDIF si\n"
    "empieza por «dn:», CSV si una fila de títulos nombra el apellido, el nombre, el\n"
    "nombre completo o la empresa y las filas de debajo caben en sus columnas. Lo\n"
    "demás se rechaza diciendo qué parece (una hoja de cálculo: guárdela como CSV).\n"
    "\n"
    "En todos los formatos, el teléfono es el preferido; si no, el móvil; si no, el\n"
    "particular, el del trabajo u otro; un fax o un busca solo si no hay otro. El\n"
    "correo es el preferido; si no, la primera dirección de Internet. La dirección\n"
    "es la calle del domicilio; si no, la del trabajo. De cada vCard, de N el\n"
    "apellido y el nombre (con los nombres adicionales). Sin N, el FN da el nombre\n"
    "(su primera palabra) y el apellido (el resto); un FN de una sola palabra es el\n"
    "apellido. Un contacto sin apellido toma como apellido su nombre completo, su\n"
    "nombre, su empresa o su correo, y se avisa; uno sin ningún dato no se añade.\n"
    "\n"
    "Las columnas de un CSV se reconocen por su nombre entero (Outlook, Google\n"
    "Contacts, Thunderbird, Yahoo, Apple, Zoho, Salesforce, LinkedIn, o Apellidos,\n"
    "Nombre, Teléfono móvil, Domicilio, Correo electrónico...), separadas por «,»,\n"
    "«;» o tabulador. UTF-8, o si no Windows-1252 (Mac Roman en los archivos de Mac\n"
    "con líneas terminadas en CR), o UTF-16; el informe dice cuál se supuso.\n"
    "\n"
    "Lo demás se omite y se cuenta en el resumen. Cada contacto que no cabe entero\n"
    "se avisa: un teléfono largo se escribe primero sin espacios, puntos, guiones ni\n"
    "paréntesis; los campos se cortan a 25, 20, 20, 15 y 25 caracteres, y los\n"
    "caracteres que Windows-1252 no tiene se guardan como «?». Un salto de línea\n"
    "dentro de un dato se guarda como un espacio («, » en la dirección). Una vCard o\n"
    "fila que no se puede leer se omite y se avisa; las demás se añaden.\n"
    "\n"
    "Salida: 0 hecho (puede haber avisos), 1 error (no se escribió nada), 2 uso incorrecto.\n";

// The folder used without --carpeta: the program's own, or the user's data folder.
const char *defaultFolderName(bool besideProgram);
// After a wrong argument.
std::string seeHelp(std::string_view program);
// An argument of the Windows command line that is not text.
std::string argumentNotText(int number);

// Why the arguments are wrong.
std::string missingValue(std::string_view option);
std::string unknownOption(std::string_view option);
inline constexpr char kMissingCommand[] = "falta la orden (exportar o importar)";
std::string unknownCommand(std::string_view command);
inline constexpr char kMissingFile[] = "falta el ARCHIVO";
std::string tooMany(std::string_view argument);
inline constexpr char kFormatOnlyForExport[] =
    "--formato es solo para exportar: al importar el formato se reconoce por el contenido";
std::string onlyForImport(std::string_view option);
std::string unknownFormat(std::string_view format);
std::string whichFormat(std::string_view file);

// The export: a folder that is not there, the standard output failing, what was done.
std::string noContactsFolder(std::string_view folder, bool exists);
std::string standardOutputFailed(std::error_code error);
std::string exportedTo(std::uint64_t contacts, std::string_view format, std::string_view file);

// The import's report.
inline constexpr char kWarning[] = "Aviso: ";
// "(vCard, «agenda.vcf»)"
std::string importedFrom(std::string_view format, std::string_view file);
std::string wouldAdd(std::uint64_t contacts, std::string_view from);
std::string added(std::uint64_t contacts, std::string_view from);
std::string alreadyThere(std::uint64_t contacts, bool trial);
std::string unreadableParts(std::uint64_t parts);
std::string notWhole(std::uint64_t contacts);
std::string withoutSurname(std::uint64_t contacts);

} // namespace wording
