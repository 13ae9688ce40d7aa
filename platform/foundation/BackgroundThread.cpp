// The loop every background piece of work shares: lower the priority, take, sleep, stop.
#include "platform/foundation/BackgroundThread.h"

#include <sys/resource.h>
#include <unistd.h>

namespace foundation {

BackgroundThread::BackgroundThread(int niceness, std::function<Next()> next)
    : m_next(std::move(next))
    , m_thread([this, niceness] { run(niceness); })
{
}

BackgroundThread::~BackgroundThread()
{
    stop();
}

void BackgroundThread::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundThread::run(int niceness)
{
    // Background work: the answers pages wait for, scans and the browser drawing them come first
    // on a busy machine.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), niceness);
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(m_mutex);
            for (;;) {
                if (m_stopping)
                    return;
                Next next = m_next();
                if (next.work) {
                    work = std::move(next.work);
                    break;
                }
                if (next.wakeAt)
                    m_wake.wait_until(lock, *next.wakeAt);
                else
                    m_wake.wait(lock);
            }
        }
        work();
    }
}

}
