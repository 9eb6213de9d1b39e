#pragma once

#include "forms/FileDialogs.h"
#include "forms/Job.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace forms {

// The first of `entries` that begins with `prefix`, byte by byte, or -1: the search
// over a list of UTF-8 texts, whichever view holds them.
int firstWithPrefix(const std::vector<std::string> &entries, std::string_view prefix);

// What the contacts window's behaviour needs from a window on the screen. Texts are
// UTF-8. Setting the list's index from here never calls back: the behaviour runs
// List1_Click itself, as a classic list box raises its Click event for code too.
class PersonasView {
public:
    virtual ~PersonasView() = default;

    virtual void setCaption(const std::string &caption) = 0;
    virtual std::string text1(int index) const = 0;
    virtual void setText1(int index, const std::string &text) = 0;
    virtual std::string searchText() const = 0;
    // Replaces every entry of List1 (the selection becomes -1). The list keeps the
    // entries, as a list box does; nothing else holds a copy.
    virtual void setListEntries(std::vector<std::string> entries) = 0;
    // The first entry, in list order, that begins with `prefix` (compared byte by
    // byte, which for UTF-8 is code point by code point), or -1.
    // A view that holds its entries as UTF-8 answers with firstWithPrefix().
    virtual int findListEntry(std::string_view prefix) const = 0;
    // The text of entry `index` (0 .. count - 1).
    virtual std::string listEntry(int index) const = 0;
    virtual int listIndex() const = 0;
    virtual void setListIndex(int index) = 0;
    // A modal message, titled with the product's name.
    virtual void showMessage(const std::string &text) = 0;

    // The system's modal file dialogs; nothing when the user cancels. The save dialog
    // adds the chosen filter's extension to a name typed without one, and asks
    // before it replaces a file.
    virtual std::optional<ChosenFile> chooseFileToOpen(const FileDialog &dialog) = 0;
    virtual std::optional<ChosenFile> chooseFileToSave(const FileDialog &dialog) = 0;
    // A modal question, titled with the product's name, with `accept` as the default
    // button and `cancel`; true when the user accepts.
    virtual bool confirm(const std::string &text, const std::string &accept, const std::string &cancel) = 0;
    // Returns once `job` has ended, or once the program is ending (its event loop told
    // to end). Meanwhile the window keeps answering but takes no command, and from a
    // moment after the start it shows the job's title, how far it is and, when it has
    // one, the button that cancels it; once that is pressed the window is the user's
    // again while the job winds down.
    virtual void waitFor(Job &job) = 0;
};

} // namespace forms
