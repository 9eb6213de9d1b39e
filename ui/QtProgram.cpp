#include "ui/QtProgram.h"

#include "ui/AboutWidget.h"
#include "ui/PersonasWidget.h"
#include "ui/Services.h"
#include "ui/SplashWidget.h"
#include "ui/Text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

namespace ui {

namespace {

std::size_t slot(forms::Window window)
{
    return static_cast<std::size_t>(window);
}

} // namespace

QtProgram::QtProgram(contacts::FileSystem &fs, std::filesystem::path folder, platform::Registry &registry,
                     platform::Launcher &launcher, Messages &messages, Dialogs &dialogs,
                     std::function<void()> endEventLoop)
    : m_fs(fs), m_folder(std::move(folder)), m_registry(registry), m_launcher(launcher), m_messages(messages),
      m_dialogs(dialogs),
      m_endEventLoop(std::move(endEventLoop)), m_program(*this)
{
    // The program's own rule decides when it ends: Qt's leaves tool and splash windows
    // out of its count, and sees no window at all during the hand-over.
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(this);
}

QtProgram::~QtProgram()
{
    qApp->removeEventFilter(this);
    // The windows use what this was given, which goes with it.
    for (const QPointer<QWidget> &window : m_windows)
        delete window.data();
}

QWidget *QtProgram::window(forms::Window window) const
{
    const QPointer<QWidget> &open = m_windows[slot(window)];
    return open && m_program.isOpen(window) ? open.data() : nullptr;
}

QWidget *QtProgram::makeWindow(forms::Window window)
{
    switch (window) {
    case forms::Window::Splash:
        return new SplashWidget(m_program);
    case forms::Window::Personas:
        return new PersonasWidget(m_fs, m_folder, m_messages, m_dialogs, m_program);
    case forms::Window::About:
        return new AboutWidget(m_registry, m_launcher, m_messages, m_program);
    }
    return nullptr;
}

void QtProgram::openWindow(forms::Window window)
{
    QWidget *widget = makeWindow(window);
    widget->setAttribute(Qt::WA_DeleteOnClose);
    m_windows[slot(window)] = widget;
    widget->show();
    // No owner: Qt may make a parentless tool window transient for the active
    // window, which would tie the About window to the main window's fate.
    if (QWindow *handle = widget->windowHandle())
        handle->setTransientParent(nullptr);
    widget->activateWindow();
}

void QtProgram::raiseWindow(forms::Window window)
{
    if (QWidget *open = this->window(window)) {
        if (open->isMinimized())
            open->showNormal();
        open->raise();
        open->activateWindow();
    }
}

void QtProgram::closeWindows()
{
    for (const QPointer<QWidget> &window : m_windows) {
        if (window && window->isVisible())
            window->close();
    }
    // A window that refused to close still goes.
    for (const QPointer<QWidget> &window : m_windows) {
        if (window && window->isVisible())
            window->hide();
    }
}

void QtProgram::endEventLoop()
{
    if (m_endEventLoop)
        m_endEventLoop();
    else
        QCoreApplication::quit();
}

void QtProgram::showMessage(const std::string &text)
{
    m_messages.show(QApplication::activeWindow(), text);
}

void QtProgram::importInMainWindow(const std::filesystem::path &file)
{
    // Once the splash's handler has returned and the window is up.
    if (auto *main = qobject_cast<PersonasWidget *>(window(forms::Window::Personas)))
        QTimer::singleShot(0, main, [main, file] { main->importFile(file); });
}

bool QtProgram::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride || type == QEvent::KeyRelease) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        // X11 repeats a held key as a release and a press, marked as repeats when Qt
        // finds the press already queued behind the release; the rule pairs the rest
        // by the events' server times.
        const forms::KeyEvent kind = key->isAutoRepeat()       ? forms::KeyEvent::Repeat
                                     : type == QEvent::KeyRelease ? forms::KeyEvent::Release
                                                                  : forms::KeyEvent::Press;
        if (m_program.swallowsKey(key->key(), kind, static_cast<std::uint32_t>(key->timestamp())))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace ui
