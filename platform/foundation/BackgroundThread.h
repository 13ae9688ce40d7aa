// BackgroundThread: a thread of its own, at a lowered priority, doing its owner's background work
// one piece at a time. The owner keeps its queue (the order is its choice: newest first, a queue,
// only the latest list) and guards it with the thread's lock; the thread asks the owner for the
// next piece under that lock, runs it outside it, and sleeps while there is none. A stop is seen
// between pieces and by the piece under way through stopping(). The cover reader, the description
// pass and the text indexer each run on one.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace foundation {

class BackgroundThread {
public:
    using Clock = std::chrono::steady_clock;

    // What the thread does next, chosen under the lock: a piece of work, run outside it; or none,
    // and the thread sleeps until woken or, with wakeAt, until then at the latest.
    struct Next {
        std::function<void()> work;
        std::optional<Clock::time_point> wakeAt;
    };

    // Starts the thread at niceness (0 to 19, 19 the lowest), asking next for its work. Make it
    // the owner's last member: it starts once what next reads exists and stops before it goes.
    BackgroundThread(int niceness, std::function<Next()> next);
    // stop()
    ~BackgroundThread();
    BackgroundThread(const BackgroundThread&) = delete;
    BackgroundThread& operator=(const BackgroundThread&) = delete;

    // Lets the piece under way end, then the thread; runs no other piece. Any thread but the
    // background one; again changes nothing.
    void stop();
    bool stopping() const { return m_stopping.load(); }

    // Runs change under the lock, then wakes the thread; not once stopping, when it answers false.
    template <class Change> bool post(Change&& change)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping)
                return false;
            change();
        }
        m_wake.notify_one();
        return true;
    }

    // The lock that guards the owner's queue, for reading it or for a piece finishing its work.
    std::mutex& mutex() const { return m_mutex; }

private:
    void run(int niceness);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<Next()> m_next;
    std::atomic<bool> m_stopping { false };
    std::thread m_thread;
};

}
