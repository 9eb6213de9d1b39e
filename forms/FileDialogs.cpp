#include "forms/FileDialogs.h"

#include "wording/Phrases.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace forms {

namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::string extensionOf(const FileDialog &dialog, int filter)
{
    if (filter < 0 || static_cast<std::size_t>(filter) >= dialog.filters.size())
        return {};
    const std::vector<std::string> &patterns = dialog.filters[static_cast<std::size_t>(filter)].patterns;
    if (patterns.empty() || !patterns.front().starts_with("*."))
        return {};
    std::string extension = patterns.front().substr(2);
    if (extension.empty() || extension.find_first_of("*?") != std::string::npos)
        return {};
    return extension;
}

ExportTarget exportTarget(const FileDialog &dialog, const ChosenFile &chosen)
{
    const std::string extension = lowered(wording::pathText(chosen.path.extension()));
    if (extension == ".vcf")
        return {chosen.path, exchange::Format::VCard};
    if (extension == ".csv")
        return {chosen.path, exchange::Format::Csv};
    const std::string chosenExtension = extensionOf(dialog, chosen.filter);
    std::filesystem::path path = chosen.path;
    if (extension.empty() && !chosenExtension.empty())
        path += "." + chosenExtension;
    return {path, lowered(chosenExtension) == "csv" ? exchange::Format::Csv : exchange::Format::VCard};
}

} // namespace forms
