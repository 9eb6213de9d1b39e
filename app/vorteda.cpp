#include "forms/HandOver.h"
#include "platform/ContactsFolder.h"
#include "platform/System.h"
#include "platform/SystemFileSystem.h"
#include "ui/Application.h"
#include "ui/SystemDialogs.h"
#include "ui/Fonts.h"
#include "ui/HandOver.h"
#include "ui/MessageBox.h"
#include "ui/QtProgram.h"
#include "ui/Text.h"
#include "ui/Translation.h"
#include "version/Version.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <memory>
#include <vector>

namespace {

// Under Wayland a program may not place its own windows, and the splash and the About
// window have their designed places: run on X11 through XWayland when it is there,
// unless the user chose a platform (QT_QPA_PLATFORM or -platform).
std::vector<char *> withPlatformChoice(int argc, char *argv[])
{
    static char option[] = "-platform";
    static char x11[] = "xcb";
    std::vector<char *> arguments(argv, argv + argc);
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    const char *session = std::getenv("XDG_SESSION_TYPE");
    const bool wayland = set("WAYLAND_DISPLAY") || (session != nullptr && std::strcmp(session, "wayland") == 0);
    bool chosen = set("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i)
        chosen = chosen || std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0;
    if (wayland && set("DISPLAY") && !chosen)
        arguments.insert(arguments.begin() + 1, {option, x11});
    arguments.push_back(nullptr);
    return arguments;
}

} // namespace

// The one place where the program is put together: every window gets what it works
// with from here.
int main(int argc, char *argv[])
{
    std::vector<char *> arguments = withPlatformChoice(argc, argv);
    int count = static_cast<int>(arguments.size()) - 1;
    ui::Application app(count, arguments.data());
    QApplication::setApplicationName(ui::qtext(version::kProductName));
    ui::installFonts();
    ui::installSpanishTranslation();

    // Where this build keeps the contacts; a folder that cannot be made is reported
    // by the window like any file error.
    platform::ContactsFileSystem files(platform::systemFileSystem(), platform::contactsFolder());
    const std::unique_ptr<platform::Registry> registry = platform::makeSystemRegistry();
    const std::unique_ptr<platform::Launcher> launcher = platform::makeSystemLauncher();
    ui::MessageBox messages;
    ui::SystemDialogs dialogs;
    ui::QtProgram program(files, files.folder(), *registry, *launcher, messages, dialogs);
    app.setProgram(&program.program());

    // A file handed to the program ("vorteda agenda.vcf", "Abrir con"), left once Qt
    // has taken its own options: it goes to a program already running for the same
    // contacts, which brings its window forward, and this start ends; otherwise it is
    // imported once the main window is up.
    const std::filesystem::path dataFile = forms::dataFileOf(files.folder());
    if (count > 1) {
        const int first = std::strcmp(arguments[1], "--") == 0 ? 2 : 1;
        if (first < count) {
            const std::filesystem::path file =
                forms::handedOnCommandLine(arguments[static_cast<std::size_t>(first)]);
            if (ui::handToRunningProgram(dataFile, file))
                return 0;
            program.program().importOnStart(file);
        }
    }
    const ui::HandOverServer handOver(program.program(), dataFile);

    program.program().start();
    const int result = QApplication::exec();
    app.setProgram(nullptr);
    return result;
}
