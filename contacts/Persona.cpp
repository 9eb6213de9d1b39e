#include "contacts/Persona.h"

#include "contacts/Cp1252.h"

#include <cstring>
#include <stdexcept>

namespace contacts {

Record encode(const Persona &persona)
{
    Record record;
    for (std::size_t f = 0; f < kFieldWidths.size(); ++f) {
        const std::string bytes = encodeCp1252(field(persona, f), kFieldWidths[f]);
        std::memcpy(record.data() + kFieldOffsets[f], bytes.data(), kFieldWidths[f]);
    }
    return record;
}

Persona decode(const Record &record)
{
    Persona persona;
    for (std::size_t f = 0; f < kFieldWidths.size(); ++f)
        field(persona, f) = decodeCp1252(std::string_view(record.data() + kFieldOffsets[f], kFieldWidths[f]));
    return persona;
}

std::string &field(Persona &persona, std::size_t index)
{
    switch (index) {
    case 0: return persona.Apellido;
    case 1: return persona.Nombre;
    case 2: return persona.Direccion;
    case 3: return persona.Telefono;
    case 4: return persona.Email;
    }
    throw std::out_of_range("Persona has five fields");
}

const std::string &field(const Persona &persona, std::size_t index)
{
    return field(const_cast<Persona &>(persona), index);
}

std::string_view trimSpaces(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

} // namespace contacts
