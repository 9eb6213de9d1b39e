#pragma once

#include <string>

class QWidget;

namespace ui {

// How a window tells the user something: one modal message with an "OK" button.
// The program's entry gives each window the one it shows; tests give one that
// records what it is asked to show.
class Messages {
public:
    virtual ~Messages() = default;

    // Shows `text` (UTF-8) over `owner`, or on its own when `owner` is null, and
    // returns once the user has closed it.
    virtual void show(QWidget *owner, const std::string &text) = 0;
};

// What the main window's menu asks of the program as a whole.
class Program {
public:
    virtual ~Program() = default;

    // "Acerca...": the About window, loaded when it is not open, brought forward
    // when it is.
    virtual void showAbout() = 0;

    // "Salir": every window closes and the program ends at once.
    virtual void quit() = 0;
};

} // namespace ui
