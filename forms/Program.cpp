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
}

bool Program::swallowsKey(int key, KeyEvent event)
{
    if (!m_swallowedKey)
        return false;
    const bool same = key == *m_swallowedKey;
    switch (event) {
    case KeyEvent::Repeat:
        if (same)
            return true;
        m_swallowedKey.reset(); // another key is held: a new press
        return false;
    case KeyEvent::Press:
        m_swallowedKey.reset();
        return false;
    case KeyEvent::Release:
        if (!same)
            return false;
        m_swallowedKey.reset();
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
