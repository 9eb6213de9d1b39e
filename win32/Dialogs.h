#pragma once

#include "forms/FileDialogs.h"

#include <windows.h>

#include <optional>
#include <string>

namespace forms {
class Job;
}

namespace win32 {

// The modal dialogs a window shows over `owner` besides its messages: the system's
// file dialogs, a question with two buttons, and the wait for a long job. The
// program's entry gives the real ones (SystemDialogs); a test can give others.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual std::optional<forms::ChosenFile> openFile(HWND owner, const forms::FileDialog &dialog) = 0;
    virtual std::optional<forms::ChosenFile> saveFile(HWND owner, const forms::FileDialog &dialog) = 0;
    virtual bool confirm(HWND owner, const std::string &text, const std::string &accept,
                         const std::string &cancel) = 0;
    virtual void waitFor(HWND owner, forms::Job &job) = 0;
};

// GetOpenFileNameW and GetSaveFileNameW; a message box whose OK and Cancel carry
// the captions asked for; a small progress window, `owner` disabled meanwhile.
class SystemDialogs : public Dialogs {
public:
    std::optional<forms::ChosenFile> openFile(HWND owner, const forms::FileDialog &dialog) override;
    std::optional<forms::ChosenFile> saveFile(HWND owner, const forms::FileDialog &dialog) override;
    bool confirm(HWND owner, const std::string &text, const std::string &accept, const std::string &cancel) override;
    void waitFor(HWND owner, forms::Job &job) override;
};

} // namespace win32
