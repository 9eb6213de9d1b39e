#include "forms/Job.h"

#include <chrono>
#include <utility>

namespace forms {

Job::Job(std::string title, std::string cancelCaption, std::function<void(Job &)> work)
    : m_title(std::move(title)), m_cancelCaption(std::move(cancelCaption))
{
    m_thread = std::thread([this, work = std::move(work)] {
        bool cancelled = false;
        std::exception_ptr error;
        try {
            work(*this);
        } catch (const JobCancelled &) {
            cancelled = true;
        } catch (...) {
            error = std::current_exception();
        }
        const std::lock_guard lock(m_mutex);
        m_cancelled = cancelled;
        m_error = error;
        m_finished = true;
        m_ended.notify_all();
    });
}

Job::~Job()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void Job::report(std::uint64_t done, std::uint64_t total)
{
    const std::lock_guard lock(m_mutex);
    if (m_cancelAsked && !m_cancelCaption.empty())
        throw JobCancelled();
    if (total > 0)
        m_permille = static_cast<int>((done >= total ? total : done) * 1000 / total);
}

int Job::permille() const
{
    const std::lock_guard lock(m_mutex);
    return m_permille;
}

void Job::cancel()
{
    const std::lock_guard lock(m_mutex);
    m_cancelAsked = true;
}

bool Job::cancelAsked() const
{
    const std::lock_guard lock(m_mutex);
    return m_cancelAsked && !m_cancelCaption.empty();
}

bool Job::wait(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    if (milliseconds < 0)
        m_ended.wait(lock, [this] { return m_finished; });
    else
        m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_finished; });
    return m_finished;
}

bool Job::finished() const
{
    const std::lock_guard lock(m_mutex);
    return m_finished;
}

bool Job::completed()
{
    wait(-1);
    if (m_thread.joinable())
        m_thread.join();
    if (m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
    return !m_cancelled;
}

} // namespace forms
