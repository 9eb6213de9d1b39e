#pragma once

// The words in which an import says what a file is when it is not a contacts file,
// and what it did on its own initiative (a surname taken from elsewhere, an encoding
// assumed). Shared by vorteda-contactos and the windows.
#include <cstdint>
#include <string>
#include <string_view>

namespace wording {

// What a refused file looks like, when that is easy to tell.
enum class LooksLike {
    Nothing,     // text, but no contacts file
    Binary,      // bytes that are not text
    Workbook,    // .xlsx, .ods, .xls
    Zip,         // any other ZIP archive
    Image,       // PNG, JPEG, GIF, BMP, WebP, TIFF, HEIC
    Pdf,
    JCard,       // vCard as JSON
    XCard,       // vCard as XML
    Xml,
    WebPage,
    Email,       // a message or a mailbox
    Calendar,    // iCalendar
    CsvNoNames,  // columns, but none names a person or a company
    CsvRagged,   // a header, but the rows do not split into its columns
};

// "no es un archivo de contactos: parece una hoja de cálculo (...); guárdela como CSV...
// Vorteda lee ..." The sentence for `kind`, without the file's name.
std::string notContacts(LooksLike kind);
// What Vorteda reads, for the end of every refusal.
std::string whatIsRead();

// The path `shown`, which is no regular file: "«x» no es un archivo sino una tubería
// (FIFO); ...".
enum class NotAFile { Fifo, Socket, Device };
std::string notAFile(std::string_view shown, NotAFile what);

// A contact whose file gave no surname: where the one stored came from.
enum class SurnameFrom { DisplayName, GivenName, Company, Email, Telephone, Address };
std::string surnameTakenFrom(SurnameFrom from);

// A contact with a '?' left out as the same as one already there.
std::string sameAsBefore();

// "Codificación supuesta: Mac Roman (el archivo no es UTF-8)."
std::string assumedEncoding(std::string_view encoding);

// The end of a list cut short: "y 12 más".
std::string andMore(std::uint64_t n);
// The most warnings and column names a report lists before andMore(): a screenful.
inline constexpr std::size_t kListedAtMost = 20;

} // namespace wording
