#include "wording/Messages.h"

namespace wording {

std::string unexpectedError(std::string_view detail)
{
    std::string text = "Se produjo un error inesperado y la orden se interrumpió.";
    if (!detail.empty())
        text.append("\n\nDetalle: ").append(detail);
    text += "\n\nSus contactos guardados no se han perdido. Puede seguir usando el programa.";
    return text;
}

} // namespace wording
