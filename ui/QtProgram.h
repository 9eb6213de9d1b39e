#pragma once

#include "forms/Program.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <filesystem>
#include <functional>

namespace contacts {
class FileSystem;
}

namespace platform {
class Launcher;
class Registry;
} // namespace platform

namespace ui {

class Dialogs;
class Messages;

// The program on Qt: makes its three windows when the program's rules (forms::Program)
// ask for them, and keeps from the main window the key that ended the splash.
class QtProgram : public QObject, public forms::ProgramView {
    Q_OBJECT
public:
    // The windows find their contacts in `folder` through `fs`, System Info through
    // `registry` and `launcher`, and speak through `messages` and `dialogs`.
    // `endEventLoop` ends the program (QCoreApplication::quit when empty).
    QtProgram(contacts::FileSystem &fs, std::filesystem::path folder, platform::Registry &registry,
              platform::Launcher &launcher, Messages &messages, Dialogs &dialogs,
              std::function<void()> endEventLoop = {});
    ~QtProgram() override;

    forms::Program &program() { return m_program; }

    // The window, while it is open; null otherwise.
    QWidget *window(forms::Window window) const;

    // forms::ProgramView
    void openWindow(forms::Window window) override;
    void raiseWindow(forms::Window window) override;
    void closeWindows() override;
    void endEventLoop() override;
    void showMessage(const std::string &text) override;
    void importInMainWindow(const std::filesystem::path &file) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *makeWindow(forms::Window window);

    contacts::FileSystem &m_fs;
    std::filesystem::path m_folder;
    platform::Registry &m_registry;
    platform::Launcher &m_launcher;
    Messages &m_messages;
    Dialogs &m_dialogs;
    std::function<void()> m_endEventLoop;
    std::array<QPointer<QWidget>, 3> m_windows;
    forms::Program m_program;
};

} // namespace ui
