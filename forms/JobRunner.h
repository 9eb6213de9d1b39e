#pragma once

#include <functional>
#include <string>

namespace forms {

class Job;
class PersonasView;

// How the contacts window runs what may take a moment, for its editing commands and
// its imports and exports alike: as a Job the view waits for, the window answering
// meanwhile; a file error told once the job has ended.
class JobRunner {
public:
    // `endNow` ends the process at once (PersonasActions::endNow).
    JobRunner(PersonasView &view, std::function<void()> endNow);

    // Runs `work` as a Job the view waits for; false when the user cancelled it, or
    // when the program ended meanwhile.
    bool run(const std::string &title, bool cancellable, const std::function<void(Job &)> &work);
    // A job that reads or writes the data file, which every command that may take a
    // moment (a list load, an add, a delete, a modify, an import or export) is: the
    // window answers meanwhile and shows its progress after a moment. A file error is
    // told once it has ended. False when it failed.
    bool runFile(const std::string &title, const char *failure, const std::function<void()> &work);
    // The list load after a failed command, without a message.
    bool quietly(const std::function<void()> &command);
    // A short step on the window's own thread; a file error is told. False when it failed.
    bool command(const char *failure, const std::function<void()> &command);

    // Jobs under way: the window's events go on meanwhile, and a file handed over
    // waits for them.
    bool busy() const { return m_working > 0; }
    // The last command failed because another copy held the file.
    bool lockHeld() const { return m_lockHeld; }
    // The view stopped waiting before a job had ended: the program is ending.
    bool ending() const { return m_ending; }

private:
    // How long work asked to stop as the program ends may take before it is left behind.
    static constexpr int kStopWait = 500;

    PersonasView &m_view;
    std::function<void()> m_endNow;
    int m_working = 0;
    bool m_lockHeld = false;
    bool m_ending = false;
};

} // namespace forms
