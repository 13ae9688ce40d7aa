// The main loop's queue.
#include "platform/ui/MainLoop.h"

#include "platform/ui/Fault.h"

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

bool MainLoop::post(std::function<void()> task)
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopped)
            return false;
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
    return true;
}

std::optional<std::function<void()>> MainLoop::nextTask(bool wait)
{
    std::unique_lock guard(m_lock);
    if (wait)
        m_wake.wait(guard, [this] { return m_stopped || !m_tasks.empty(); });
    if (m_stopped || m_tasks.empty())
        return std::nullopt;
    auto task = std::move(m_tasks.front());
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
    std::deque<std::function<void()>> dropped;
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
