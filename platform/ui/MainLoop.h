// MainLoop: the queue of tasks run on the main thread. Every application call runs there; other
// threads (the browser host's workers) post tasks and may wait for their results.
#pragma once

#include "platform/foundation/Result.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

namespace ui {

class MainLoop {
public:
    // The program's main loop.
    static MainLoop& main();

    // Makes the calling thread the main thread. The first thread that uses the loop claims it.
    void claimCurrentThread();
    bool isMainThread() const;

    // Queues the task; false when the loop has stopped.
    bool post(std::function<void()> task);
    // Runs the queued tasks on the calling (main) thread; returns how many ran.
    std::size_t runPending();
    // Claims the calling thread and runs tasks as they come until stop; returns stop's code.
    int run();
    // Ends run; tasks still queued are dropped and their waiters told so.
    void stop(int exitCode = 0);
    bool isStopped() const;
    // Accepts tasks again after a stop.
    void reset();

    // Runs the task on the main thread and gives back its result: at once when called there,
    // otherwise queued and waited for. An error when the loop stops before it runs.
    template <typename Task>
    auto performAndWait(Task task) -> foundation::Result<std::invoke_result_t<Task&>>;

private:
    std::optional<std::function<void()>> nextTask(bool wait);

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    std::optional<std::thread::id> m_mainThread;
    bool m_stopped = false;
    int m_exitCode = 0;
};

template <typename Task>
auto MainLoop::performAndWait(Task task) -> foundation::Result<std::invoke_result_t<Task&>>
{
    using Value = std::invoke_result_t<Task&>;
    claimCurrentThread();
    if (isMainThread()) {
        if constexpr (std::is_void_v<Value>) {
            task();
            return {};
        } else {
            return task();
        }
    }
    auto promise = std::make_shared<std::promise<Value>>();
    auto future = promise->get_future();
    // Only the task holds the promise: a task dropped unrun breaks it, which wakes the waiter.
    bool queued = post([promise = std::move(promise), task = std::move(task)]() mutable {
        try {
            if constexpr (std::is_void_v<Value>) {
                task();
                promise->set_value();
            } else {
                promise->set_value(task());
            }
        } catch (...) {
            promise->set_exception(std::current_exception());
        }
    });
    if (!queued)
        return foundation::Error("the application has stopped");
    try {
        if constexpr (std::is_void_v<Value>) {
            future.get();
            return {};
        } else {
            return future.get();
        }
    } catch (const std::future_error&) {
        return foundation::Error("the application stopped before it could answer");
    } catch (...) {
        return foundation::Error("the application failed to answer");
    }
}

}
