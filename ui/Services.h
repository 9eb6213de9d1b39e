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

} // namespace ui
