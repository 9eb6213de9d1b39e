#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace contacts {

// One contact, as text (UTF-8). On disk it is 105 bytes of Windows-1252, the five
// fields laid end to end with no separators.
struct Persona {
    std::string Apellido;
    std::string Nombre;
    std::string Direccion;
    std::string Telefono;
    std::string Email;
};

inline constexpr std::size_t kRecordSize = 105;
inline constexpr std::array<std::size_t, 5> kFieldWidths = {25, 20, 20, 15, 25};
inline constexpr std::array<std::size_t, 5> kFieldOffsets = {0, 25, 45, 65, 80};
inline constexpr std::size_t kNombreOffset = 25;
inline constexpr std::size_t kNombreWidth = 20;

using Record = std::array<char, kRecordSize>;

// Stores each field padded with spaces or cut to its width; characters that
// Windows-1252 cannot hold become '?'.
Record encode(const Persona &persona);
// Reads the five fields at full width, trailing spaces included.
Persona decode(const Record &record);

// The field `index` (0 to 4) of a Persona, in field order.
std::string &field(Persona &persona, std::size_t index);
const std::string &field(const Persona &persona, std::size_t index);

// Without leading and trailing spaces (only spaces, as the stored padding).
std::string_view trimSpaces(std::string_view text);

} // namespace contacts
