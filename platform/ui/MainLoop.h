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

// A change may alter the application; a look only reads it (a page's snapshot), so a look may
// also run while the main thread waits for work it handed to another thread.
enum class TaskKind { change, look };

class MainLoop {
public:
    // The program's main loop.
    static MainLoop& main();

    // Makes the calling thread the main thread. The first thread that uses the loop claims it.
    void claimCurrentThread();
    bool isMainThread() const;

    // Queues the task; false when the loop has stopped.
    bool post(std::function<void()> task, TaskKind kind = TaskKind::change);
    // Runs the queued tasks on the calling (main) thread; returns how many ran.
    std::size_t runPending();
    // How many tasks are queued and not yet run: for a caller that waits until its task is queued.
    std::size_t queuedTasks() const;
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
    auto performAndWait(Task task, TaskKind kind = TaskKind::change)
        -> foundation::Result<std::invoke_result_t<Task&>>;

    // Runs long work that touches no application state (unpacking a book) on another thread and
    // answers its result. Meanwhile the main thread runs the looks that come, and nothing else, so
    // pages keep seeing the application. Off the main thread the work simply runs.
    template <typename Work> auto answerLooksWhile(Work work) -> std::invoke_result_t<Work&>;

private:
    struct QueuedTask {
        std::function<void()> run;
        TaskKind kind;
    };
    std::optional<std::function<void()>> nextTask(bool wait);
    void answerLooksUntilDone(const std::function<void()>& work);

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<QueuedTask> m_tasks;
    std::optional<std::thread::id> m_mainThread;
    bool m_stopped = false;
    int m_exitCode = 0;
};

template <typename Work> auto MainLoop::answerLooksWhile(Work work) -> std::invoke_result_t<Work&>
{
    using Value = std::invoke_result_t<Work&>;
    static_assert(!std::is_void_v<Value>, "the work answers a value");
    if (!isMainThread())
        return work();
    std::optional<Value> value;
    answerLooksUntilDone([&] { value.emplace(work()); });
    return std::move(*value);
}

template <typename Task>
auto MainLoop::performAndWait(Task task, TaskKind kind)
    -> foundation::Result<std::invoke_result_t<Task&>>
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
    bool queued = post(
        [promise = std::move(promise), task = std::move(task)]() mutable {
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
        },
        kind);
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
