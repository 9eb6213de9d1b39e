#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace forms {

// What Job::report throws inside the work once the user has asked it to stop.
struct JobCancelled {};

// The progress window of every view: it shows only once its job has run this long
// (most jobs are over before anyone could read it), then follows the job every tick.
inline constexpr int kProgressDelayMilliseconds = 200;
inline constexpr int kProgressTickMilliseconds = 30;

// Work that a window waits for without leaving the user unanswered: it runs on a
// thread of its own while the view keeps the window's events going and shows how far
// it is (PersonasView::waitFor). The window's thread touches nothing the work uses
// until it has ended.
class Job {
public:
    // Starts `work`. `cancelCaption` names the button that stops it; empty, the work
    // cannot be stopped (its one write is all or nothing, and nearly done).
    Job(std::string title, std::string cancelCaption, std::function<void(Job &)> work);
    // Asks the work to stop and waits for it.
    ~Job();
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

    const std::string &title() const { return m_title; }
    const std::string &cancelCaption() const { return m_cancelCaption; }

    // From the work: `done` of `total` (bytes, records); throws JobCancelled once the
    // user has asked to stop.
    void report(std::uint64_t done, std::uint64_t total);

    // From the view: how far the work is, 0 to 1000, or -1 while nobody can tell.
    int permille() const;
    void cancel();
    // Whether the work that can be stopped has been asked to stop.
    bool cancelAsked() const;
    // Waits up to `milliseconds` (-1: as long as it takes) for the work to end; true
    // once it has.
    bool wait(int milliseconds);
    bool finished() const;

    // Once it has ended: false when the user stopped it. What else stopped the work
    // is thrown again here.
    bool completed();

private:
    std::string m_title;
    std::string m_cancelCaption;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_finished = false;
    bool m_cancelAsked = false;
    bool m_cancelled = false;
    int m_permille = -1;
    std::exception_ptr m_error;
    std::thread m_thread;
};

} // namespace forms
