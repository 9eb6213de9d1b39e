#pragma once

#include "forms/FileDialogs.h"

#include <optional>
#include <string>

class QWidget;

namespace forms {
class Job;
}

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

// The other modal dialogs a window shows over `owner`: the system's file dialogs, a
// question with two buttons, and the wait for a long job. The program's entry gives
// the real ones (ui::SystemDialogs); tests give ones that answer as scripted.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual std::optional<forms::ChosenFile> openFile(QWidget *owner, const forms::FileDialog &dialog) = 0;
    virtual std::optional<forms::ChosenFile> saveFile(QWidget *owner, const forms::FileDialog &dialog) = 0;
    virtual bool confirm(QWidget *owner, const std::string &text, const std::string &accept,
                         const std::string &cancel) = 0;
    virtual void waitFor(QWidget *owner, forms::Job &job) = 0;
};

} // namespace ui
