#include "forms/JobRunner.h"

#include "forms/Job.h"
#include "forms/PersonasView.h"

#include "contacts/FileSystem.h"
#include "wording/FileMessages.h"
#include "wording/Messages.h"

#include <optional>
#include <utility>

namespace forms {

namespace {

// Counts a job under way for as long as the window waits for it.
class Working {
public:
    explicit Working(int &count) : m_count(count) { ++m_count; }
    ~Working() { --m_count; }
    Working(const Working &) = delete;
    Working &operator=(const Working &) = delete;

private:
    int &m_count;
};

} // namespace

JobRunner::JobRunner(PersonasView &view, std::function<void()> endNow) : m_view(view), m_endNow(std::move(endNow))
{
}

bool JobRunner::run(const std::string &title, bool cancellable, const std::function<void(Job &)> &work)
{
    Job job(title, cancellable ? wording::kCancelButton : "", work);
    {
        // The window's events go on meanwhile: a file handed over waits for the job.
        const Working working(m_working);
        m_view.waitFor(job);
    }
    if (!job.finished())
        m_ending = true;
    if (!job.finished() && cancellable) {
        // The view stopped waiting before the work ended: the program is ending. Work
        // that can be stopped only reads; one held in a read the system does not
        // interrupt (a pipe, a share that hangs) must not keep the program alive
        // without a window, and there is nothing of it to keep.
        job.cancel();
        if (!job.wait(kStopWait) && m_endNow)
            m_endNow();
        job.wait(-1);
        return false;
    }
    return job.completed();
}

bool JobRunner::runFile(const std::string &title, const char *failure, const std::function<void()> &work)
{
    // The message waits for the window's thread; the file is as it was.
    m_lockHeld = false;
    std::optional<contacts::FileError> failed;
    run(title, false, [&](Job &) {
        try {
            work();
        } catch (const contacts::FileError &error) {
            failed = error;
        }
    });
    if (failed) {
        m_lockHeld = wording::heldByAnotherCopy(*failed);
        m_view.showMessage(wording::fileErrorMessage(failure, *failed));
    }
    return !failed;
}

bool JobRunner::quietly(const std::function<void()> &command)
{
    bool done = false;
    run(wording::kLoadingList, false, [&](Job &) {
        try {
            command();
            done = true;
        } catch (const contacts::FileError &) {
        }
    });
    return done;
}

bool JobRunner::command(const char *failure, const std::function<void()> &command)
{
    m_lockHeld = false;
    try {
        command();
        return true;
    } catch (const contacts::FileError &error) {
        m_lockHeld = wording::heldByAnotherCopy(error);
        m_view.showMessage(wording::fileErrorMessage(failure, error));
    }
    return false;
}

} // namespace forms
