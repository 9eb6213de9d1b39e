#include "forms/HandOver.h"

#include "contacts/ContactFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <cwctype>
#endif

namespace forms {

namespace {

constexpr std::string_view kMagic = "Vorteda/abrir/1\n";

using Unit = std::filesystem::path::value_type;

void put(std::string &out, const std::filesystem::path &path)
{
    const std::filesystem::path::string_type &native = path.native();
    const auto length = static_cast<std::uint32_t>(native.size());
    out.append(reinterpret_cast<const char *>(&length), sizeof length);
    out.append(reinterpret_cast<const char *>(native.data()), native.size() * sizeof(Unit));
}

// The next path of `in`, or nothing when what is left is too short for it.
std::optional<std::filesystem::path> take(std::string_view &in)
{
    std::uint32_t length = 0;
    if (in.size() < sizeof length)
        return std::nullopt;
    std::memcpy(&length, in.data(), sizeof length);
    in.remove_prefix(sizeof length);
    if (in.size() / sizeof(Unit) < length)
        return std::nullopt;
    std::filesystem::path::string_type native(length, Unit());
    std::memcpy(native.data(), in.data(), length * sizeof(Unit));
    in.remove_prefix(length * sizeof(Unit));
    return std::filesystem::path(std::move(native));
}

// Windows names files without regard to case.
bool sameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
#ifdef _WIN32
    const std::wstring &x = a.native();
    const std::wstring &y = b.native();
    return x.size() == y.size()
           && std::equal(x.begin(), x.end(), y.begin(), [](wchar_t p, wchar_t q) { return std::towupper(p) == std::towupper(q); });
#else
    return a.native() == b.native();
#endif
}

} // namespace

std::filesystem::path dataFileOf(const std::filesystem::path &folder)
{
    const std::filesystem::path file = folder / contacts::kDataFileName;
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(file, ec);
    if (!ec)
        return canonical;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    return ec ? file.lexically_normal() : absolute.lexically_normal();
}

std::filesystem::path handedOnCommandLine(const std::filesystem::path &file)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    return ec ? file : absolute;
}

std::string handOverName(const std::filesystem::path &dataFile)
{
    // FNV-1a over the name's bytes: stable from one build to the next, unlike std::hash.
    std::uint64_t hash = 14695981039346656037ULL;
    const std::filesystem::path::string_type &native = dataFile.native();
    const auto *bytes = reinterpret_cast<const unsigned char *>(native.data());
    for (std::size_t i = 0; i < native.size() * sizeof(Unit); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ULL;
    }
    static const char digits[] = "0123456789abcdef";
    std::string name = "vorteda-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += digits[(hash >> shift) & 0xF];
    return name;
}

std::string handOverMessage(const std::filesystem::path &dataFile, const std::filesystem::path &file)
{
    std::string message(kMagic);
    put(message, dataFile);
    put(message, file);
    return message;
}

std::optional<std::filesystem::path> handedFile(std::string_view message, const std::filesystem::path &dataFile)
{
    if (!message.starts_with(kMagic))
        return std::nullopt;
    message.remove_prefix(kMagic.size());
    const std::optional<std::filesystem::path> forFile = take(message);
    std::optional<std::filesystem::path> file = take(message);
    if (!forFile || !file || !message.empty() || !sameFile(*forFile, dataFile) || file->empty())
        return std::nullopt;
    return file;
}

} // namespace forms
