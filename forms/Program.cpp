#include "forms/Program.h"

#include "wording/Messages.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace forms {

namespace {

std::size_t slot(Window window)
{
    return static_cast<std::size_t>(window);
}

} // namespace

Program::Program(ProgramView &view) : m_view(view)
{
}

void Program::start()
{
    run([this] { m_view.openWindow(Window::Splash); });
}

void Program::windowOpened(Window window)
{
    m_open[slot(window)] = true;
    m_started = true;
}

void Program::windowClosed(Window window)
{
    m_open[slot(window)] = false;
    endIfDone();
}

bool Program::isOpen(Window window) const
{
    return m_open[slot(window)];
}

Program::Hold::Hold(Program &program) : m_program(program)
{
    ++m_program.m_holds;
}

Program::Hold::~Hold()
{
    --m_program.m_holds;
    m_program.deliverFiles();
    m_program.endIfDone();
}

void Program::run(const std::function<void()> &handler)
{
    const Hold hold(*this);
    handler();
}

void Program::unexpectedError(std::exception_ptr error)
{
    std::string detail;
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception &e) {
        detail = e.what();
    } catch (...) {
    }
    if (!m_ending)
        m_view.showMessage(wording::unexpectedError(detail));
}

void Program::importOnStart(std::filesystem::path file)
{
    m_forMainWindow.push_back(std::move(file));
}

bool Program::fileHanded(std::filesystem::path file)
{
    if (m_ending || (m_handedOver && !isOpen(Window::Personas)))
        return false;
    if (m_handedOver)
        m_view.raiseWindow(Window::Personas);
    importWhenIdle(std::move(file));
    return true;
}

void Program::importWhenIdle(std::filesystem::path file)
{
    m_forMainWindow.push_back(std::move(file));
    deliverFiles();
}

void Program::windowIdle()
{
    deliverFiles();
}

void Program::importArrived(std::filesystem::path file,
                            const std::function<void(const std::filesystem::path &)> &import)
{
    if (m_holds > 0 || m_ending || !isOpen(Window::Personas)) {
        importWhenIdle(std::move(file));
        return;
    }
    run([&] { import(file); });
}

void Program::deliverFiles()
{
    if (m_holds > 0 || m_ending || !m_handedOver || !isOpen(Window::Personas))
        return;
    for (std::filesystem::path &file : std::exchange(m_forMainWindow, {}))
        m_view.importInMainWindow(file);
}

void Program::handOver()
{
    if (m_handedOver || m_ending)
        return;
    m_handedOver = true;
    run([this] { m_view.openWindow(Window::Personas); });
    // A main window that did not come up takes nothing.
    if (!isOpen(Window::Personas))
        m_forMainWindow.clear();
}

void Program::keepKeyFromMainWindow(int key)
{
    if (m_handedOver)
        return;
    m_swallowedKey = key;
    m_releasedAt.reset();
    m_pressedAt.reset();
}

bool Program::swallowsKey(int key, KeyEvent event, std::uint32_t time)
{
    if (!m_swallowedKey)
        return false;
    const bool same = key == *m_swallowedKey;
    const auto letGo = [this] {
        m_swallowedKey.reset();
        m_releasedAt.reset();
        m_pressedAt.reset();
        return false;
    };
    switch (event) {
    case KeyEvent::Repeat:
        if (!same)
            return letGo(); // another key is held: a new press
        m_releasedAt.reset();
        return true;
    case KeyEvent::Press: {
        if (!same)
            return letGo();
        // Unsigned: the times wrap, and a time before the release is no repeat.
        const bool repeat = m_releasedAt && std::uint32_t(time - *m_releasedAt) <= kRepeatGapMs;
        const bool again = m_pressedAt && *m_pressedAt == time;
        if (!repeat && !again)
            return letGo(); // pressed anew once let go
        m_releasedAt.reset();
        m_pressedAt = time;
        return true;
    }
    case KeyEvent::Release:
        if (!same)
            return false;
        if (m_releasedAt)
            return letGo(); // released twice: it was not held
        m_releasedAt = time;
        return true;
    }
    return false;
}

void Program::showAbout()
{
    if (m_ending)
        return;
    if (isOpen(Window::About))
        m_view.raiseWindow(Window::About);
    else
        run([this] { m_view.openWindow(Window::About); });
}

void Program::quit()
{
    if (m_ending)
        return;
    // Without further events or questions: every command has already written the file.
    m_ending = true;
    m_view.closeWindows();
    std::fill(std::begin(m_open), std::end(m_open), false);
    m_view.endEventLoop();
}

void Program::endIfDone()
{
    if (!m_started || m_ending || m_holds > 0 || std::any_of(std::begin(m_open), std::end(m_open), [](bool open) { return open; }))
        return;
    m_ending = true;
    m_view.endEventLoop();
}

} // namespace forms
