#pragma once

#include "forms/ImportQueue.h"

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace forms {

// The program's windows, as the rules of the whole program know them.
enum class Window { Splash, Personas, About };

// What the program as a whole needs from a toolkit.
class ProgramView {
public:
    virtual ~ProgramView() = default;

    // Creates the window, loads it and shows it; the view then reports it with
    // Program::windowOpened(), and its end with Program::windowClosed().
    virtual void openWindow(Window window) = 0;
    // Brings an open window to the front, with the keyboard focus.
    virtual void raiseWindow(Window window) = 0;
    // Closes every open window at once, without a question or a further event.
    virtual void closeWindows() = 0;
    // Ends the event loop once the running handler has returned.
    virtual void endEventLoop() = 0;
    // A modal message of its own, titled with the product's name.
    virtual void showMessage(const std::string &text) = 0;
    // Hands `file` to the open main window, once the running handler has returned and
    // the window is on the screen; the window then gives it to Program::importArrived.
    virtual void importInMainWindow(const std::filesystem::path &file) = 0;
};

// How a toolkit's key event looks to the rule after the splash.
enum class KeyEvent { Press, Repeat, Release };

// A key held down repeats, on X11, as a release and a press of that key stamped with
// the same time; the toolkit marks them as a repeat only when it sees both at once,
// which on a busy machine it often does not. A press that follows a release of the
// same key within this many milliseconds, by the events' own times, is such a
// repeat: nobody lets go of a key and presses it again so fast.
inline constexpr std::uint32_t kRepeatGapMs = 30;

// What the program does beyond its windows: it starts with the splash, which hands
// over to the main window once; "Acerca..." shows the one About window; the program
// ends when its last window has closed and no handler is running, or at once on
// "Salir". It keeps the one queue of files for the main window's import.
class Program : public ImportQueue {
public:
    explicit Program(ProgramView &view);
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // Shows the splash.
    void start();

    // The views report their windows here.
    void windowOpened(Window window);
    void windowClosed(Window window);
    bool isOpen(Window window) const;

    // Keeps the program running while it lives, even with no window open, so that a
    // handler can close one window and open another. Every handler of every window
    // runs inside one (run()).
    class Hold {
    public:
        explicit Hold(Program &program);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        Program &m_program;
    };
    bool handlerRunning() const { return m_holds > 0; }

    // Runs one handler of a window, holding the program.
    void run(const std::function<void()> &handler);
    // What a view's outermost event handler does with an exception that nothing
    // else caught: it tells the user and the program goes on. A command's file is
    // safe by its own design, whatever stopped it.
    void unexpectedError(std::exception_ptr error);

    // A file handed to the program (its command line, "Abrir con"): it goes to the
    // main window's import once that window has come up after the splash.
    void importOnStart(std::filesystem::path file);
    // A file handed to another start of the program for the same contacts while this
    // one runs: true when this one takes it, and the other start then ends. Before
    // the main window it waits for it, as a file on the command line does; with the
    // main window open, that window comes forward and imports it once no handler is
    // running (not inside another command, nor inside its questions). Not taken once
    // the main window has closed or while the program ends: the other start goes on
    // as a program of its own.
    bool fileHanded(std::filesystem::path file);
    // Files for the main window's import, in the order they came, handed to the view
    // one at a time once no handler is running (every import, export and job of the
    // window runs inside one), the main window is open and the program not ending.
    void importWhenIdle(std::filesystem::path file) override;
    void windowIdle() override;
    // The view's end of importInMainWindow: `import` (the window's
    // frmPersonas::importFile) runs now as a handler of its own; or, when the file came
    // inside another handler's modal loop, or the program is ending, the file waits again.
    void importArrived(std::filesystem::path file, const std::function<void(const std::filesystem::path &)> &import);

    // The splash's hand-over: the main window comes up, once, and takes the file
    // handed to the program.
    void handOver();
    // The character key that ended the splash: while it is held, its repeats and
    // its release belong to it and are kept from the main window; any other key, or
    // a press of its own once it has been let go, ends that. `key` is the toolkit's
    // code for the physical key.
    void keepKeyFromMainWindow(int key);
    // Whether the view drops this key event for that reason. `time` is the event's
    // own time in milliseconds (the window system's, not the moment it arrives),
    // compared modulo 2^32; a toolkit that delivers one press twice (Qt's shortcut
    // check before the press itself) gives both the same time.
    bool swallowsKey(int key, KeyEvent event, std::uint32_t time);

    // "Acerca...": the About window, loaded when it is not open, brought forward
    // when it is.
    void showAbout();
    // "Salir": every window closes and the program ends at once.
    void quit();
    bool ending() const { return m_ending; }

private:
    void endIfDone();
    void deliverFiles();

    ProgramView &m_view;
    bool m_open[3] = {};
    bool m_started = false; // a window has been open: before, there is no last one
    int m_holds = 0;
    bool m_ending = false;
    bool m_handedOver = false;
    // Files for the main window's import, waiting for it or for the running handler.
    std::vector<std::filesystem::path> m_forMainWindow;
    // The key kept from the main window, while its repeats and release may come;
    // the time of its last release not yet followed by a press, and of the last
    // press of it kept back.
    std::optional<int> m_swallowedKey;
    std::optional<std::uint32_t> m_releasedAt;
    std::optional<std::uint32_t> m_pressedAt;
};

} // namespace forms
