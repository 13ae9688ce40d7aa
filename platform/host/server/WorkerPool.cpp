// The worker pool: a queue per credential, the trusted one first, the budgets of the others
// counted per address, and delayed connections left waiting until they are due.
#include "platform/host/server/WorkerPool.h"

#include <algorithm>
#include <unistd.h>

namespace host {

WorkerPool::WorkerPool(std::size_t workers, Budget budget, Serve serve)
    : m_budget(budget)
    , m_serve(std::move(serve))
{
    for (std::size_t count = 0; count < workers; ++count)
        m_workers.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool()
{
    stop();
}

void WorkerPool::closeOldest(
    std::deque<Connection>& queue, const std::function<bool(const Connection&)>& matches)
{
    auto oldest = std::find_if(queue.begin(), queue.end(), matches);
    if (oldest == queue.end())
        return;
    ::close(oldest->socket);
    queue.erase(oldest);
}

void WorkerPool::makeRoomFor(const Connection& connection, Clock::time_point now)
{
    const auto& peer = connection.peer;
    if (connection.notBefore > now) {
        auto delayedFromPeer = [&](const Connection& waiting) {
            return waiting.peer == peer && waiting.notBefore > now;
        };
        std::size_t delayed = 0;
        for (auto& queue : m_queues)
            delayed += std::size_t(std::count_if(queue.begin(), queue.end(), delayedFromPeer));
        if (delayed >= m_budget.delayedPerPeer) {
            for (auto& queue : m_queues) {
                if (std::any_of(queue.begin(), queue.end(), delayedFromPeer)) {
                    closeOldest(queue, delayedFromPeer);
                    break;
                }
            }
        }
    }
    if (connection.credential == Credential::trusted)
        return;
    auto& queue = m_queues[index(connection.credential)];
    auto fromPeer = std::count_if(queue.begin(), queue.end(),
        [&](const Connection& waiting) { return waiting.peer == peer; });
    if (std::size_t(fromPeer) >= m_budget.waitingPerPeer)
        closeOldest(queue, [&](const Connection& waiting) { return waiting.peer == peer; });
    if (queue.size() >= m_budget.waiting)
        closeOldest(queue, [](const Connection&) { return true; });
}

void WorkerPool::enqueue(Connection connection)
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopped) {
            ::close(connection.socket);
            return;
        }
        makeRoomFor(connection, Clock::now());
        m_queues[index(connection.credential)].push_back(std::move(connection));
    }
    m_changed.notify_one();
}

bool WorkerPool::hasPlace(const Connection& connection) const
{
    if (connection.credential == Credential::trusted)
        return true;
    bool catalog = connection.credential == Credential::catalogPassword;
    const auto& share = catalog ? m_budget.catalogClients : m_budget.strangers;
    const auto& served = m_served[index(connection.credential)];
    if (served.inAll >= share.inAll)
        return false;
    if (catalog && connection.download && served.downloads >= m_budget.catalogDownloads)
        return false;
    auto fromPeer = served.perPeer.find(connection.peer);
    return fromPeer == served.perPeer.end() || fromPeer->second < share.perPeer;
}

bool WorkerPool::takeNext(
    Connection& connection, Clock::time_point now, std::optional<Clock::time_point>& nextDue)
{
    for (auto& queue : m_queues) {
        for (auto waiting = queue.begin(); waiting != queue.end(); ++waiting) {
            if (waiting->notBefore > now) {
                nextDue = nextDue ? std::min(*nextDue, waiting->notBefore) : waiting->notBefore;
                continue;
            }
            if (!hasPlace(*waiting))
                continue;
            connection = std::move(*waiting);
            queue.erase(waiting);
            if (connection.credential != Credential::trusted) {
                auto& served = m_served[index(connection.credential)];
                ++served.perPeer[connection.peer];
                ++served.inAll;
                served.downloads += connection.download ? 1 : 0;
            }
            return true;
        }
    }
    return false;
}

void WorkerPool::work()
{
    std::unique_lock guard(m_lock);
    for (;;) {
        Connection connection;
        for (;;) {
            if (m_stopped)
                return;
            std::optional<Clock::time_point> nextDue;
            if (takeNext(connection, Clock::now(), nextDue)) {
                // Another worker keeps watch over what still waits, delayed ones included.
                if (std::any_of(m_queues.begin(), m_queues.end(),
                        [](auto& queue) { return !queue.empty(); }))
                    m_changed.notify_one();
                break;
            }
            if (nextDue)
                m_changed.wait_until(guard, *nextDue);
            else
                m_changed.wait(guard);
        }
        guard.unlock();
        const auto credential = connection.credential;
        const bool download = connection.download;
        const std::string peer = connection.peer;
        m_serve(std::move(connection));
        guard.lock();
        if (credential != Credential::trusted) {
            auto& served = m_served[index(credential)];
            --served.inAll;
            served.downloads -= download ? 1 : 0;
            if (--served.perPeer[peer] == 0)
                served.perPeer.erase(peer);
            // A place is free: a waiting connection of any address may take it.
            m_changed.notify_all();
        }
    }
}

WorkerPool::Load WorkerPool::load() const
{
    std::lock_guard guard(m_lock);
    Load load;
    load.strangersServed = m_served[index(Credential::none)].inAll;
    load.catalogClientsServed = m_served[index(Credential::catalogPassword)].inAll;
    load.catalogDownloadsServed = m_served[index(Credential::catalogPassword)].downloads;
    const auto now = Clock::now();
    for (auto& queue : m_queues) {
        load.waiting += queue.size();
        load.delayed += std::size_t(std::count_if(queue.begin(), queue.end(),
            [&](const Connection& waiting) { return waiting.notBefore > now; }));
    }
    return load;
}

void WorkerPool::stop()
{
    {
        std::lock_guard guard(m_lock);
        if (m_stopped)
            return;
        m_stopped = true;
        for (auto& queue : m_queues) {
            for (auto& waiting : queue)
                ::close(waiting.socket);
            queue.clear();
        }
    }
    m_changed.notify_all();
    for (auto& worker : m_workers)
        worker.join();
}

}
