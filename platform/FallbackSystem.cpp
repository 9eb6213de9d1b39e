// For systems without a system layer of their own: no registry values, so the About
// window's button reports that system information is unavailable.
#include "platform/System.h"
#include "platform/TableRegistry.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace {

class FallbackLauncher : public Launcher {
public:
    bool isOrdinaryFile(const std::string &path) override
    {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    }
    void start(const std::string &commandLine, int) override
    {
        throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                                "cannot start " + commandLine);
    }
};

} // namespace

std::unique_ptr<Registry> makeSystemRegistry()
{
    return std::make_unique<TableRegistry>();
}

std::unique_ptr<Launcher> makeSystemLauncher()
{
    return std::make_unique<FallbackLauncher>();
}

} // namespace platform
