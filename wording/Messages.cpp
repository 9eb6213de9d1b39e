#include "wording/Messages.h"

#include "wording/Phrases.h"

namespace wording {

std::string unexpectedError(std::string_view detail)
{
    std::string text = "Se produjo un error inesperado y la orden se interrumpió.";
    if (!detail.empty())
        text.append("\n\nDetalle: ").append(detail);
    text += "\n\nSus contactos guardados no se han perdido. Puede seguir usando el programa.";
    return text;
}

namespace {

// "Gómez, Ana · Plaza Sol 3 · 600333444 · ag@correo.es": every field there is.
std::string inFull(const std::array<std::string, 5> &fields)
{
    std::string name = fields[0];
    if (!fields[1].empty())
        name += (name.empty() ? "" : ", ") + fields[1];
    std::string text = name.empty() ? "(sin nombre)" : name;
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (!fields[i].empty())
            text += " · " + fields[i];
    }
    return text;
}

// `text` cut to `most` characters (UTF-8), with "…" when something went.
std::string cutLine(const std::string &text, std::size_t most)
{
    std::size_t at = 0;
    for (std::size_t chars = 0; at < text.size() && chars < most; ++chars) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            ++at;
    }
    return at < text.size() ? text.substr(0, at) + "…" : text;
}

// Every line of `text` cut to kLineShown characters.
std::string cutLines(const std::string &text)
{
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (start > 0)
            out += '\n';
        out += cutLine(text.substr(start, end - start), kLineShown);
        start = end + 1;
    }
    return out;
}

} // namespace

std::string reading(std::string_view file)
{
    return "Leyendo " + inQuotes(file) + "…";
}

std::string moreOmitted(std::uint64_t more)
{
    return "(y " + std::to_string(more) + " más)";
}

std::string importConfirmation(const ImportFacts &facts)
{
    std::string text = "¿Importar los contactos de " + inQuotes(facts.file) + " (" + facts.format + ")?\n\n";
    text += facts.added == 1 ? "Se añadirá 1 contacto nuevo." : "Se añadirán " + count(facts.added, "", "contactos nuevos.");
    if (facts.duplicates > 0)
        text += "\n" + count(facts.duplicates, "contacto ya estaba y no se añadirá otra vez.",
                             "contactos ya estaban y no se añadirán otra vez.");
    if (!facts.first.empty()) {
        text += facts.added > facts.first.size() ? "\n\nLos primeros:" : facts.first.size() == 1 ? "\n\nEs:" : "\n\nSon:";
        for (const auto &fields : facts.first)
            text += "\n" + inFull(fields);
        if (facts.added > facts.first.size())
            text += "\n(y " + std::to_string(facts.added - facts.first.size()) + " más)";
    }
    if (!facts.warnings.empty()) {
        text += "\n\n" + count(facts.warnings.size(), "aviso:", "avisos:");
        for (std::size_t i = 0; i < facts.warnings.size() && i < kWarningsShown; ++i)
            text += "\n" + cutLine(facts.warnings[i], kLineShown);
        if (facts.warnings.size() > kWarningsShown)
            text += "\n(y " + std::to_string(facts.warnings.size() - kWarningsShown) + " más)";
    }
    if (!facts.omitted.empty()) {
        std::string omitted = facts.omitted;
        while (!omitted.empty() && omitted.back() == '\n')
            omitted.pop_back();
        text += "\n\n" + cutLines(omitted);
    }
    return text;
}

std::string nothingToImport(std::string_view file, std::uint64_t duplicates)
{
    return (duplicates == 1 ? "El contacto de " + inQuotes(file) + " ya estaba"
                            : "Los " + std::to_string(duplicates) + " contactos de " + inQuotes(file) + " ya estaban")
        + " en la lista: no se ha añadido nada.";
}

std::string imported(std::string_view file, std::uint64_t added, std::uint64_t duplicates, std::uint64_t asked)
{
    std::string text = added == 0 ? "No se ha añadido ningún contacto de " + inQuotes(file) + "."
                       : added == 1 ? "Se ha añadido 1 contacto de " + inQuotes(file) + "."
                                    : "Se han añadido " + std::to_string(added) + " contactos de " + inQuotes(file) + ".";
    if (duplicates > 0)
        text += "\n" + count(duplicates, "contacto ya estaba en la lista y no se ha añadido otra vez.",
                             "contactos ya estaban en la lista y no se han añadido otra vez.");
    if (added != asked)
        text += "\n\nLa lista de contactos cambió después de la pregunta, quizá desde otra copia del programa: "
                "estas son las cifras de lo que se hizo.";
    return text;
}

std::string exported(std::uint64_t contacts, std::string_view file, std::string_view format)
{
    return (contacts == 1 ? std::string("Se ha exportado 1 contacto")
                          : "Se han exportado " + std::to_string(contacts) + " contactos")
        + " a " + inQuotes(file) + " (" + std::string(format) + ").";
}

} // namespace wording
