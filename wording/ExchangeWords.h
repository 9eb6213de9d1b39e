#pragma once

// The words of the import's readers and of its report: why a card, an entry or a row
// was left out, what was stored of a contact, why a file or a destination is refused.
// Shared by vorteda-contactos and the windows.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace wording {

// Why a file read so far can give no contact (ImportError's texts).
inline constexpr char kUnreadable[] = "no se puede leer";
inline constexpr char kEmptyFile[] = "el archivo está vacío";
inline constexpr char kNoOneUnderHeader[] = "no hay ningún contacto debajo de la fila de títulos";
inline constexpr char kNoPersonInLdif[] = "no hay ninguna persona en este LDIF";
inline constexpr char kNoContactInFile[] = "no hay ningún contacto en este archivo";
// More contacts than the data file holds (`most`).
std::string tooManyContacts(std::uint64_t most);
// After a CSV refused for naming no one: its columns (quoted, joined) and those read.
std::string csvColumns(std::string_view names);

// A card, entry or row left out: what was wrong, and what was left out.
inline constexpr char kUnclosedVCard[] = "BEGIN:VCARD sin END:VCARD";
inline constexpr char kVCardLeftOut[] = "se omite esta vCard";
inline constexpr char kBeginExpected[] = "se esperaba BEGIN:VCARD";
inline constexpr char kTextLeftOut[] = "se omite el texto hasta la siguiente vCard";
inline constexpr char kDnExpected[] = "se esperaba «dn:» al principio de la entrada";
inline constexpr char kEntryLeftOut[] = "se omite esta entrada";
inline constexpr char kUnclosedQuote[] = "comillas sin cerrar";
inline constexpr char kRowLeftOut[] = "se omite esta fila";
std::string rowDoesNotFit(std::size_t cells, std::size_t columns);
// "línea 4: BEGIN:VCARD sin END:VCARD; se omite esta vCard."
std::string problemLine(std::uint64_t line, std::string_view text, std::string_view omitted);

// A CSV column with no title, as the report names it.
inline constexpr char kUntitled[] = "(sin título)";
// The column names the CSV reader knows, for the refusal of a CSV that names no one.
std::string knownCsvColumnNames();

// A contact in the report: "línea 4, «Ana Ruiz»" (`name` printable already); one
// without a name is "sin nombre".
std::string contactAt(std::uint64_t line, std::string_view name);
inline constexpr char kNoName[] = "sin nombre";
// A field (0 to 4: Apellido, Nombre, Dirección, Teléfono, E-mail) not stored whole:
// "Teléfono guardado como «…» (cortado a 15 caracteres, «?» en lugar de …)".
std::string fieldNotWhole(std::size_t field, std::string_view stored, std::size_t width, bool cut, bool replaced);

// The names under which the summary counts what is not a property or a column:
// entries that are not people, values too long to keep.
inline constexpr char kNotPeople[] = "(no personas)";
inline constexpr char kTooLong[] = "(demasiado largos)";
// What was read and not kept, one sentence a line, each ending in "\n": the further
// telephones, e-mails, addresses and names of a vCard, then the rest by name (a CSV's
// by its column's), the first kListedAtMost of them.
struct NotKept {
    std::string name;  // as read
    std::string shown; // printable
    std::uint64_t count = 0;
};
std::string notKeptSummary(const std::vector<NotKept> &skipped, bool vcard);

// The end of every refusal of an import: "; no se ha cambiado «…/personas.dat»."
std::string nothingChanged(const std::filesystem::path &dataFile);
// The refusal of the file `shown`, at `line` (0: none), for `why`.
std::string refusedAt(std::string_view shown, std::uint64_t line, std::string_view why);
std::string isAFolder(std::string_view shown);
std::string cannotOpen(std::string_view shown, std::error_code error);

// Why an export to `shown`, a contacts file, is refused.
std::string ontoContactsFile(std::string_view shown);

} // namespace wording
