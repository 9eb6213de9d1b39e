#pragma once

// The words in which the import and the export report what they did and why they
// refused, shared by the command vorteda-contactos and the program's window.
#include "exchange/Import.h"

#include "contacts/ContactFile.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace exchange {

// The file `path` read and compared with the data file, or why it is refused, in
// the command's words without its name: "agenda.txt, línea 1: no es un archivo vCard
// ni CSV; no se ha cambiado «…/personas.dat»." `shown` names the file; `progress`
// hears the bytes read of the file's size (0 when unknown). Nothing is written either
// way; an exception from `progress` goes through.
struct OpenedImport {
    std::optional<Preview> preview;
    std::string refusal; // when there is no preview
};
using ProgressOf = std::function<void(std::uint64_t bytes, std::uint64_t size)>;
OpenedImport previewFile(const std::filesystem::path &path, const std::string &shown, contacts::ContactFile &file,
                         bool keepDuplicates, const ProgressOf &progress = {});

// "línea 4: BEGIN:VCARD sin END:VCARD; se omite esta vCard."
std::string problemLine(const Problem &problem);
// What was read and not kept, one sentence a line ("2 teléfonos más no se guardaron:
// Vorteda guarda uno por contacto.").
void skippedSummary(const Skipped &skipped, bool vcard, std::ostream &out);

// Whether `destination` is the data file itself, or its temporary or lock file: an
// export there would put vCard or CSV text where the contacts are.
bool isContactsFile(const contacts::ContactFile &file, const std::filesystem::path &destination);
} // namespace exchange
