// The main loop's queue.
#include "platform/ui/MainLoop.h"

#include "platform/ui/Fault.h"

#include <algorithm>

namespace ui {

MainLoop& MainLoop::main()
{
    static MainLoop loop;
    return loop;
}

void MainLoop::claimCurrentThread()
{
    std::lock_guard guard(m_lock);
    if (!m_mainThread)
        m_mainThread = std::this_thread::get_id();
}

bool MainLoop::isMainThread() const
{
    std::lock_guard guard(m_lock);
    return m_mainThread == std::this_thread::get_id();
}

bool MainLoop::post(std::function<void()> task, TaskKind kind)
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopped)
            return false;
        m_tasks.push_back({ std::move(task), kind });
    }
    // Only the main thread waits for tasks, in run or in answerLooksUntilDone.
    m_wake.notify_all();
    return true;
}

std::optional<std::function<void()>> MainLoop::nextTask(bool wait)
{
    std::unique_lock guard(m_lock);
    if (wait)
        m_wake.wait(guard, [this] { return m_stopped || !m_tasks.empty(); });
    if (m_stopped || m_tasks.empty())
        return std::nullopt;
    auto task = std::move(m_tasks.front().run);
    m_tasks.pop_front();
    return task;
}

namespace {
void runTask(std::function<void()>& task)
{
    try {
        task();
    } catch (const std::exception& error) {
        reportFault(std::string("a task on the main loop failed: ") + error.what());
    } catch (...) {
        reportFault("a task on the main loop failed");
    }
}
}

void MainLoop::answerLooksUntilDone(const std::function<void()>& work)
{
    bool done = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard guard(m_lock);
            done = true;
        }
        m_wake.notify_all();
    });
    for (;;) {
        std::unique_lock guard(m_lock);
        auto look = m_tasks.end();
        m_wake.wait(guard, [&] {
            look = m_stopped
                ? m_tasks.end()
                : std::find_if(m_tasks.begin(), m_tasks.end(),
                    [](const QueuedTask& task) { return task.kind == TaskKind::look; });
            return done || look != m_tasks.end();
        });
        if (look == m_tasks.end())
            break;
        // Changes queued before the look keep their place and run after the work.
        auto task = std::move(look->run);
        m_tasks.erase(look);
        guard.unlock();
        runTask(task);
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

std::size_t MainLoop::runPending()
{
    claimCurrentThread();
    std::size_t count = 0;
    while (auto task = nextTask(false)) {
        runTask(*task);
        ++count;
    }
    return count;
}

std::size_t MainLoop::queuedTasks() const
{
    std::lock_guard guard(m_lock);
    return m_tasks.size();
}

int MainLoop::run()
{
    {
        std::lock_guard guard(m_lock);
        m_mainThread = std::this_thread::get_id();
    }
    while (auto task = nextTask(true))
        runTask(*task);
    std::lock_guard guard(m_lock);
    return m_exitCode;
}

void MainLoop::stop(int exitCode)
{
    std::deque<QueuedTask> dropped;
    {
        std::lock_guard guard(m_lock);
        m_stopped = true;
        m_exitCode = exitCode;
        dropped.swap(m_tasks);
    }
    m_wake.notify_all();
    // Destroying the dropped tasks outside the lock tells their waiters.
}

bool MainLoop::isStopped() const
{
    std::lock_guard guard(m_lock);
    return m_stopped;
}

void MainLoop::reset()
{
    std::lock_guard guard(m_lock);
    m_stopped = false;
    m_exitCode = 0;
}

}
