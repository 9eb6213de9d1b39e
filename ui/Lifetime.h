#pragma once

#include <QObject>

#include <functional>

class QEvent;

namespace ui {

// When the program ends: once none of its windows is open and no handler is holding
// it, or at once on quitProgram(). Qt's own last-window rule is switched off: it
// leaves tool, splash and transient windows out of its count, so the About window
// alone would not keep the program alive, and it sees no window at all in the moment
// between closing the splash and showing the main window.
class Lifetime : public QObject {
    Q_OBJECT
public:
    using QuitFunction = std::function<void()>;

    // Takes over from Qt's rule for as long as it lives; one at a time. `quit` ends
    // the event loop (QCoreApplication::quit when empty).
    explicit Lifetime(QuitFunction quit = {});

    // Keeps the program running while it lives, even with no window open, so that a
    // handler can close one window and open another.
    class Hold {
    public:
        explicit Hold(Lifetime &lifetime);
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;

    private:
        Lifetime &m_lifetime;
    };

    // Whether a window of the program is showing (menus and tooltips do not count).
    static bool anyWindowOpen();

    // Ends the program at once: closes every window, the About window included, and
    // stops the event loop, whatever handler is running.
    void quitProgram();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void scheduleCheck();
    void check();
    void quit();

    QuitFunction m_quit;
    int m_holds = 0;
    bool m_checkPending = false;
    bool m_quitting = false;
};

} // namespace ui
