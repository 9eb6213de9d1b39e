#include "wording/Phrases.h"

namespace wording {

std::string inQuotes(std::string_view text)
{
    return "«" + std::string(text) + "»";
}

std::string count(std::uint64_t n, std::string_view one, std::string_view many)
{
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

std::string pathText(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace wording
