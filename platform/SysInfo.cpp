#include "platform/SysInfo.h"

#include <array>
#include <stdexcept>

namespace platform {

namespace {

// Access asked for when opening the key: read rights only (KEY_READ). Asking for
// more, as set and create rights, is refused to a standard user on
// HKEY_LOCAL_MACHINE, who would then never reach the system-information program.
constexpr std::uint32_t kKeyAccess = 0x20019;

// Closes an opened key whichever way GetKeyValue leaves, an error included, so that
// no handle is left behind.
class OpenedKey {
public:
    explicit OpenedKey(Registry &registry) : m_registry(registry) {}
    ~OpenedKey()
    {
        if (m_opened)
            m_registry.closeKey(m_key);
    }
    OpenedKey(const OpenedKey &) = delete;
    OpenedKey &operator=(const OpenedKey &) = delete;

    bool open(RegKey root, const std::string &path)
    {
        m_opened = m_registry.openKey(root, path, 0, kKeyAccess, &m_key) == kErrorSuccess;
        return m_opened;
    }
    RegKey handle() const { return m_key; }

private:
    Registry &m_registry;
    RegKey m_key = 0;
    bool m_opened = false;
};

// One or two upper-case hexadecimal digits, without a leading zero.
std::string hexDigits(unsigned char byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string digits;
    if (byte >= 0x10)
        digits += kDigits[byte >> 4];
    digits += kDigits[byte & 0x0F];
    return digits;
}

} // namespace

bool GetKeyValue(Registry &registry, RegKey KeyRoot, const std::string &KeyName, const std::string &SubKeyRef,
                 std::string &KeyVal)
{
    OpenedKey key(registry);
    if (!key.open(KeyRoot, KeyName)) {
        KeyVal.clear();
        return false;
    }

    std::array<unsigned char, kValueBufferSize> buffer{};
    std::uint32_t type = kRegNone;
    std::uint32_t size = kValueBufferSize;
    if (registry.queryValue(key.handle(), SubKeyRef, &type, buffer.data(), &size) != kErrorSuccess) {
        KeyVal.clear();
        return false;
    }

    // Cut the buffer to the data: a last byte of zero is the terminator the registry
    // keeps with text and is dropped; data written without one stays whole. With no
    // data there is no last byte to look at.
    if (size == 0 || size > buffer.size())
        throw std::invalid_argument("registry value has no data to read");
    const std::size_t kept = buffer[size - 1] == 0 ? size - 1 : size;
    const std::string text(reinterpret_cast<const char *>(buffer.data()), kept);

    switch (type) {
    case kRegSz:
        KeyVal = text;
        break;
    case kRegDword:
        // The number is stored lowest byte first: read from the end to get its digits
        // from the highest byte down.
        for (auto byte = text.rbegin(); byte != text.rend(); ++byte)
            KeyVal += hexDigits(static_cast<unsigned char>(*byte));
        KeyVal = "&h" + KeyVal;
        break;
    default:
        break;
    }
    return true;
}

void StartSysInfo(Registry &registry, Launcher &launcher,
                  const std::function<void(const std::string &text)> &showMessage)
{
    bool started = false;
    try {
        std::string path;
        bool found = GetKeyValue(registry, kHKeyLocalMachine, kMsinfoKey, kMsinfoPathValue, path);
        if (!found && GetKeyValue(registry, kHKeyLocalMachine, kMsinfoLocationKey, kMsinfoLocationValue, path)) {
            // A separator at the end of the folder stays: the test is made on the
            // path exactly as formed.
            const std::string candidate = path + kMsinfoProgram;
            if (launcher.isOrdinaryFile(candidate)) {
                path = candidate;
                found = true;
            }
        }
        if (found) {
            launcher.start(path, kNormalFocus);
            started = true;
        }
    } catch (...) {
        // Whatever went wrong, the user gets the one message below.
    }
    if (started)
        return;
    try {
        showMessage(kSysInfoUnavailable);
    } catch (...) {
        // The launcher passes no error on, not even one from showing the message.
    }
}

} // namespace platform
