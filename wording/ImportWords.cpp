#include "wording/ImportWords.h"

#include "wording/Phrases.h"

namespace wording {

std::string whatIsRead()
{
    return "Vorteda lee contactos en vCard (.vcf), LDIF (.ldif, como los exportan Thunderbird y "
           "Evolution) y CSV (.csv) con una fila de títulos que nombra al menos el apellido, el "
           "nombre, el nombre completo o la empresa";
}

std::string notContacts(LooksLike kind)
{
    std::string text;
    switch (kind) {
    case LooksLike::Nothing: text = "no es un archivo de contactos que Vorteda sepa leer"; break;
    case LooksLike::Binary: text = "no es un archivo de texto, y por tanto tampoco uno de contactos"; break;
    case LooksLike::Workbook:
        text = "es un libro de hoja de cálculo (Excel o LibreOffice), no un archivo de contactos: "
               "ábralo en su programa y guárdelo como CSV";
        break;
    case LooksLike::Zip: text = "es un archivo comprimido ZIP; descomprímalo y elija el archivo de contactos"; break;
    case LooksLike::Image: text = "es una imagen, no un archivo de contactos"; break;
    case LooksLike::Pdf: text = "es un documento PDF, no un archivo de contactos"; break;
    case LooksLike::JCard:
        text = "es una jCard (vCard escrita en JSON), que Vorteda no lee; expórtelos como vCard (.vcf)";
        break;
    case LooksLike::XCard:
        text = "es una xCard (vCard escrita en XML), que Vorteda no lee; expórtelos como vCard (.vcf)";
        break;
    case LooksLike::Xml: text = "es un documento XML, no un archivo de contactos"; break;
    case LooksLike::WebPage: text = "es una página web (HTML), no un archivo de contactos"; break;
    case LooksLike::Email:
        text = "es un mensaje o un buzón de correo electrónico; si trae los contactos adjuntos, "
               "guarde el adjunto (.vcf o .csv) e impórtelo";
        break;
    case LooksLike::Calendar: text = "es un calendario (iCalendar), no un archivo de contactos"; break;
    case LooksLike::CsvNoNames:
        text = "ninguna columna de este CSV nombra el apellido, el nombre, el nombre completo ni la empresa";
        break;
    case LooksLike::CsvRagged:
        text = "las filas de este CSV no se reparten en las columnas de su fila de títulos";
        break;
    }
    return text + ". " + whatIsRead();
}

std::string notAFile(std::string_view shown, NotAFile what)
{
    const char *const kind = what == NotAFile::Fifo ? "una tubería (FIFO)"
        : what == NotAFile::Socket                  ? "un socket"
                                                    : "un dispositivo";
    return inQuotes(shown) + " no es un archivo sino " + kind + "; Vorteda solo importa archivos";
}

std::string surnameTakenFrom(SurnameFrom from)
{
    switch (from) {
    case SurnameFrom::DisplayName: return "no tenía apellido; se guarda como apellido su nombre completo";
    case SurnameFrom::GivenName: return "no tenía apellido; se guarda su nombre como apellido";
    case SurnameFrom::Company: return "no tenía apellido; se guarda como apellido su empresa";
    case SurnameFrom::Email: return "no tenía nombre; se guarda como apellido su correo electrónico";
    case SurnameFrom::Telephone: return "no tenía nombre; se guarda como apellido su teléfono";
    case SurnameFrom::Address: return "no tenía nombre; se guarda como apellido su dirección";
    }
    return {};
}

std::string sameAsBefore()
{
    return "ya estaba, con los mismos «?» en lugar de los caracteres que Windows-1252 no tiene, y no se "
           "añade otra vez; si es otra persona, añádala a mano";
}

std::string assumedEncoding(std::string_view encoding)
{
    return "Codificación supuesta: " + std::string(encoding)
        + " (el archivo no está entero en UTF-8); si algún nombre sale mal, guarde el archivo como UTF-8.";
}

std::string andMore(std::uint64_t n)
{
    return "y " + std::to_string(n) + " más";
}

} // namespace wording
