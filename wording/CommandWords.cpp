#include "wording/CommandWords.h"

#include "wording/Phrases.h"
#include "wording/SystemErrorText.h"

namespace wording {

const char *defaultFolderName(bool besideProgram)
{
    if (besideProgram)
        return "la del programa";
#ifdef _WIN32
    return "%LOCALAPPDATA%\\Vorteda";
#else
    return "$XDG_DATA_HOME/vorteda, o ~/.local/share/vorteda";
#endif
}

std::string seeHelp(std::string_view program)
{
    return "Use «" + std::string(program) + " --ayuda» para ver cómo se usa.";
}

std::string argumentNotText(int number)
{
    return "el argumento " + std::to_string(number) + " no es un texto válido (tiene medio carácter UTF-16).";
}

std::string missingValue(std::string_view option)
{
    return "falta el valor de " + std::string(option);
}

std::string unknownOption(std::string_view option)
{
    return "opción desconocida " + inQuotes(option);
}

std::string unknownCommand(std::string_view command)
{
    return "orden desconocida " + inQuotes(command);
}

std::string tooMany(std::string_view argument)
{
    return "sobra " + inQuotes(argument);
}

std::string onlyForImport(std::string_view option)
{
    return std::string(option) + " es solo para importar";
}

std::string unknownFormat(std::string_view format)
{
    return "formato desconocido " + inQuotes(format) + " (vcard o csv)";
}

std::string whichFormat(std::string_view file)
{
    return "no se sabe en qué formato escribir " + inQuotes(file)
        + ": use un nombre terminado en .vcf o .csv, o --formato vcard|csv";
}

std::string noContactsFolder(std::string_view folder, bool exists)
{
    return "la carpeta de contactos " + inQuotes(folder) + (exists ? " no es una carpeta" : " no existe")
        + "; no se ha escrito nada.";
}

std::string standardOutputFailed(std::error_code error)
{
    return "no se pudo escribir en la salida estándar: " + systemErrorText(error);
}

std::string exportedTo(std::uint64_t contacts, std::string_view format, std::string_view file)
{
    return count(contacts, "contacto exportado", "contactos exportados") + " (" + std::string(format) + ", "
        + inQuotes(file) + ").";
}

std::string importedFrom(std::string_view format, std::string_view file)
{
    return " (" + std::string(format) + ", " + inQuotes(file) + ")";
}

std::string wouldAdd(std::uint64_t contacts, std::string_view from)
{
    return std::string("Prueba: se ") + (contacts == 1 ? "añadiría " : "añadirían ")
        + count(contacts, "contacto", "contactos") + std::string(from) + "; no se ha escrito nada.";
}

std::string added(std::uint64_t contacts, std::string_view from)
{
    return count(contacts, "contacto añadido", "contactos añadidos") + std::string(from) + ".";
}

std::string alreadyThere(std::uint64_t contacts, bool trial)
{
    const bool one = contacts == 1;
    return count(contacts, "contacto ya estaba", "contactos ya estaban")
        + " (en personas.dat o antes en el mismo archivo) y no se "
        + (trial ? (one ? "añadiría" : "añadirían") : (one ? "ha añadido" : "han añadido")) + " otra vez; --duplicados "
        + (one ? "lo" : "los") + " añade.";
}

std::string unreadableParts(std::uint64_t parts)
{
    return (parts == 1 ? "Se omitió " : "Se omitieron ")
        + count(parts, "parte del archivo que no se pudo leer (aviso arriba)",
                "partes del archivo que no se pudieron leer (avisos arriba)")
        + ".";
}

std::string notWhole(std::uint64_t contacts)
{
    return count(contacts, "contacto no cupo entero (aviso arriba)", "contactos no cupieron enteros (avisos arriba)")
        + ".";
}

std::string withoutSurname(std::uint64_t contacts)
{
    return count(contacts, "contacto no tenía apellido", "contactos no tenían apellido")
        + ": se guarda como apellido lo que los nombra (avisos arriba).";
}

} // namespace wording
