// The worker pool: two queues, the token's first, and the strangers' budget counted per address.
#include "platform/host/server/WorkerPool.h"

#include <algorithm>
#include <unistd.h>

namespace host {

WorkerPool::WorkerPool(std::size_t workers, Budget budget, Serve serve)
    : m_budget(budget)
    , m_serve(std::move(serve))
{
    for (std::size_t index = 0; index < workers; ++index)
        m_workers.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool()
{
    stop();
}

void WorkerPool::enqueue(Connection connection)
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopped) {
            ::close(connection.socket);
            return;
        }
        if (connection.trusted) {
            m_trusted.push_back(std::move(connection));
        } else {
            auto fromPeer = std::count_if(m_strangers.begin(), m_strangers.end(),
                [&](const Connection& waiting) { return waiting.peer == connection.peer; });
            if (std::size_t(fromPeer) >= m_budget.waitingPerPeer)
                closeOldestStranger(connection.peer);
            if (m_strangers.size() >= m_budget.waiting)
                closeOldestStranger({});
            m_strangers.push_back(std::move(connection));
        }
    }
    m_changed.notify_one();
}

void WorkerPool::closeOldestStranger(const std::string& peer)
{
    auto oldest = std::find_if(m_strangers.begin(), m_strangers.end(),
        [&](const Connection& waiting) { return peer.empty() || waiting.peer == peer; });
    if (oldest == m_strangers.end())
        return;
    ::close(oldest->socket);
    m_strangers.erase(oldest);
}

bool WorkerPool::takeNext(Connection& connection)
{
    if (!m_trusted.empty()) {
        connection = std::move(m_trusted.front());
        m_trusted.pop_front();
        return true;
    }
    if (m_strangersServedInAll >= m_budget.strangers)
        return false;
    auto next = std::find_if(m_strangers.begin(), m_strangers.end(), [&](const Connection& waiting) {
        auto served = m_strangersServed.find(waiting.peer);
        return served == m_strangersServed.end() || served->second < m_budget.strangersPerPeer;
    });
    if (next == m_strangers.end())
        return false;
    connection = std::move(*next);
    m_strangers.erase(next);
    ++m_strangersServed[connection.peer];
    ++m_strangersServedInAll;
    return true;
}

void WorkerPool::work()
{
    std::unique_lock guard(m_lock);
    for (;;) {
        Connection connection;
        m_changed.wait(guard, [&] { return m_stopped || takeNext(connection); });
        if (connection.socket < 0)
            return;
        guard.unlock();
        const bool stranger = !connection.trusted;
        const std::string peer = connection.peer;
        m_serve(std::move(connection));
        guard.lock();
        if (stranger) {
            --m_strangersServedInAll;
            if (--m_strangersServed[peer] == 0)
                m_strangersServed.erase(peer);
            // A stranger's place is free: a waiting one of any address may take it.
            m_changed.notify_all();
        }
    }
}

void WorkerPool::stop()
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopped)
            return;
        m_stopped = true;
        for (auto* queue : { &m_trusted, &m_strangers }) {
            for (auto& waiting : *queue)
                ::close(waiting.socket);
            queue->clear();
        }
    }
    m_changed.notify_all();
    for (auto& worker : m_workers)
        worker.join();
}

}
