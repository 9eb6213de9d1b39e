#pragma once

#include "exchange/Formats.h"

#include <filesystem>
#include <string>
#include <vector>

namespace forms {

// What a file dialog offers: its title, the folder it opens in (empty: the system's
// choice), the name it suggests (save only) and its filters, the first one chosen.
struct FileFilter {
    std::string name;                  // "Contactos"
    std::vector<std::string> patterns; // "*.vcf", "*.csv"
};
struct FileDialog {
    std::string title;
    std::filesystem::path folder;
    std::string suggestedName;
    std::vector<FileFilter> filters;
};
// What the user chose in it: the file, and the filter chosen when the dialog closed.
struct ChosenFile {
    std::filesystem::path path;
    int filter = 0;
};

// The extension filter `filter` of `dialog` gives a name typed without one: its first
// pattern's ("*.vcf": "vcf"); empty when it has none to give ("*", "*.*", no such
// filter). Both views' save dialogs and the export use this one rule.
std::string extensionOf(const FileDialog &dialog, int filter);

// Where an export goes and in which format: a name ending in .vcf or .csv says the
// format; any other takes the type chosen in the dialog, and a name without an
// extension gets that type's.
struct ExportTarget {
    std::filesystem::path path;
    exchange::Format format;
};
ExportTarget exportTarget(const FileDialog &dialog, const ChosenFile &chosen);

} // namespace forms
