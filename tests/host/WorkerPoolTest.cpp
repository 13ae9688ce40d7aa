// The worker pool: strangers are served within their budget per address and in all, waiting
// beyond it within bounds that close the oldest waiting connection, and trusted work goes first;
// the catalog's reading apps have a budget strangers cannot take, which downloads cannot fill;
// a delayed connection holds no worker while it waits.
#include "platform/host/server/WorkerPool.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Work that holds its worker until the test lets it go: each connection is named by its bytes.
class HeldWork {
public:
    host::WorkerPool::Serve serve()
    {
        return [this](host::WorkerPool::Connection connection) {
            std::unique_lock guard(m_lock);
            m_started.push_back(connection.received);
            m_changed.notify_all();
            m_changed.wait(guard, [&] { return m_released.count(connection.received) > 0; });
            ::close(connection.socket);
        };
    }

    // The names started so far, once there are count of them (at most 5 s later).
    std::vector<std::string> startedOnce(std::size_t count)
    {
        std::unique_lock guard(m_lock);
        m_changed.wait_for(guard, 5s, [&] { return m_started.size() >= count; });
        return m_started;
    }
    std::vector<std::string> started()
    {
        std::lock_guard guard(m_lock);
        return m_started;
    }
    void release(const std::string& name)
    {
        std::lock_guard guard(m_lock);
        m_released.insert(name);
        m_changed.notify_all();
    }
    void releaseAll(const std::vector<std::string>& names)
    {
        for (auto& name : names)
            release(name);
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_started;
    std::set<std::string> m_released;
};

// A connection's two ends: the pool takes one; the test watches the other.
struct Client {
    int pools = -1;
    int ours = -1;
    Client()
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0) {
            pools = ends[0];
            ours = ends[1];
        }
    }
    ~Client() { ::close(ours); }
    // Whether the pool closed its end without serving it (at once, or within a second).
    bool closed() const
    {
        pollfd watched { ours, POLLIN, 0 };
        char byte;
        return ::poll(&watched, 1, 1000) == 1 && ::recv(ours, &byte, 1, MSG_DONTWAIT) == 0;
    }
};

using Credential = host::WorkerPool::Credential;

host::WorkerPool::Connection connection(const Client& client, const std::string& name,
    const std::string& peer, Credential credential = Credential::none, bool download = false,
    host::WorkerPool::Clock::time_point notBefore = {})
{
    return { client.pools, name, peer, credential, download, notBefore };
}

TEST(WorkerPool, strangersAreServedWithinTheirBudgetPerAddressAndInAll)
{
    HeldWork work;
    std::vector<std::string> served;
    {
        host::WorkerPool pool(8, { .strangers = { 2, 3 } }, work.serve());
        std::vector<Client> clients(7);
        const std::vector<std::pair<std::string, std::string>> arrivals {
            { "a1", "192.0.2.1" },
            { "a2", "192.0.2.1" },
            { "a3", "192.0.2.1" },
            { "b1", "192.0.2.2" },
            { "b2", "192.0.2.2" },
        };
        for (std::size_t index = 0; index < arrivals.size(); ++index)
            pool.enqueue(connection(clients[index], arrivals[index].first, arrivals[index].second));
        auto first = work.startedOnce(3);
        EXPECT_EQ(std::set<std::string>(first.begin(), first.end()),
            (std::set<std::string> { "a1", "a2", "b1" }))
            << "two of one address, three in all";
        // Trusted work takes a worker though the strangers' budget is spent.
        pool.enqueue(connection(clients[5], "page", "192.0.2.1", Credential::trusted));
        EXPECT_EQ(work.startedOnce(4).back(), "page");
        // A place of a1's address frees: the next waiting stranger of any address under its own
        // budget takes it, in the order they came.
        work.release("a1");
        EXPECT_EQ(work.startedOnce(5).back(), "a3");
        work.release("b1");
        EXPECT_EQ(work.startedOnce(6).back(), "b2");
        served = work.started();
        work.releaseAll(served);
    }
    EXPECT_EQ(served.size(), 6u);
}

TEST(WorkerPool, strangersWaitingBeyondTheBoundsCloseTheOldestWaitingOne)
{
    HeldWork work;
    host::WorkerPool pool(
        2, { .strangers = { 1, 1 }, .waitingPerPeer = 2, .waiting = 3 }, work.serve());
    Client busy;
    pool.enqueue(connection(busy, "busy", "192.0.2.9"));
    ASSERT_EQ(work.startedOnce(1).size(), 1u);
    std::vector<Client> clients(5);
    const std::vector<std::tuple<std::string, std::string, std::vector<bool>>> arrivals {
        // name, address, which of the clients so far are closed once it is queued
        { "a1", "192.0.2.1", { false } },
        { "a2", "192.0.2.1", { false, false } },
        // A third from one address: its oldest waiting one goes.
        { "a3", "192.0.2.1", { true, false, false } },
        { "b1", "192.0.2.2", { true, false, false, false } },
        // A fourth in all: the oldest waiting of any address goes.
        { "c1", "192.0.2.3", { true, true, false, false, false } },
    };
    for (std::size_t index = 0; index < arrivals.size(); ++index) {
        auto& [name, peer, closed] = arrivals[index];
        pool.enqueue(connection(clients[index], name, peer));
        for (std::size_t earlier = 0; earlier < closed.size(); ++earlier) {
            if (closed[earlier]) {
                EXPECT_TRUE(clients[earlier].closed())
                    << name << ": " << std::get<0>(arrivals[earlier]);
            }
        }
    }
    work.releaseAll({ "busy", "a3", "b1", "c1" });
    EXPECT_EQ(work.startedOnce(4), (std::vector<std::string> { "busy", "a3", "b1", "c1" }));
    pool.stop();
}

TEST(WorkerPool, trustedWorkIsTakenBeforeStrangersWaitingLonger)
{
    HeldWork work;
    host::WorkerPool pool(1, {}, work.serve());
    std::vector<Client> clients(4);
    pool.enqueue(connection(clients[0], "first", "192.0.2.1"));
    ASSERT_EQ(work.startedOnce(1).size(), 1u);
    pool.enqueue(connection(clients[1], "stranger", "192.0.2.1"));
    pool.enqueue(connection(clients[2], "another", "192.0.2.2"));
    pool.enqueue(connection(clients[3], "page", "192.0.2.3", Credential::trusted));
    for (auto* name : { "first", "page", "stranger", "another" })
        work.release(name);
    EXPECT_EQ(
        work.startedOnce(4), (std::vector<std::string> { "first", "page", "stranger", "another" }));
    pool.stop();
}

TEST(WorkerPool, readingAppsHaveABudgetStrangersCannotTakeAndDownloadsCannotFill)
{
    HeldWork work;
    host::WorkerPool pool(8,
        { .strangers = { 2, 2 }, .catalogClients = { 2, 3 }, .catalogDownloads = 2 }, work.serve());
    std::vector<Client> clients(8);
    const std::vector<std::tuple<std::string, std::string, Credential, bool>> arrivals {
        { "stranger1", "192.0.2.1", Credential::none, false },
        { "stranger2", "192.0.2.2", Credential::none, false },
        { "stranger3", "192.0.2.3", Credential::none, false },
        { "download1", "192.0.2.4", Credential::catalogPassword, true },
        { "download2", "192.0.2.5", Credential::catalogPassword, true },
        { "download3", "192.0.2.6", Credential::catalogPassword, true },
        { "feed", "192.0.2.7", Credential::catalogPassword, false },
    };
    for (std::size_t index = 0; index < arrivals.size(); ++index) {
        auto& [name, peer, credential, download] = arrivals[index];
        pool.enqueue(connection(clients[index], name, peer, credential, download));
    }
    auto started = work.startedOnce(5);
    EXPECT_EQ(std::set<std::string>(started.begin(), started.end()),
        (std::set<std::string> { "stranger1", "stranger2", "download1", "download2", "feed" }));
    auto load = pool.load();
    EXPECT_EQ(load.strangersServed, 2u);
    EXPECT_EQ(load.catalogClientsServed, 3u);
    EXPECT_EQ(load.catalogDownloadsServed, 2u);
    EXPECT_EQ(load.waiting, 2u);
    work.releaseAll(
        { "stranger1", "stranger2", "stranger3", "download1", "download2", "download3", "feed" });
    EXPECT_EQ(work.startedOnce(7).size(), 7u);
}

TEST(WorkerPool, aDelayedConnectionHoldsNoWorkerAndOneAddressDelaysFewAtOnce)
{
    HeldWork work;
    host::WorkerPool pool(1, { .delayedPerPeer = 2 }, work.serve());
    const auto later = host::WorkerPool::Clock::now() + 1h;
    std::vector<Client> clients(4);
    for (std::size_t index = 0; index < 3; ++index)
        pool.enqueue(connection(clients[index], "guess" + std::to_string(index), "192.0.2.1",
            Credential::none, false, later));
    EXPECT_TRUE(clients[0].closed())
        << "a third delayed at once from one address closes the oldest";
    // The one worker is free for what is due: the delayed wait without it.
    pool.enqueue(connection(clients[3], "page", "192.0.2.2", Credential::trusted));
    EXPECT_EQ(work.startedOnce(1), std::vector<std::string> { "page" });
    EXPECT_EQ(pool.load().delayed, 2u);
    work.release("page");
    pool.stop();
    EXPECT_TRUE(clients[1].closed());
    EXPECT_TRUE(clients[2].closed());
}

TEST(WorkerPool, aDelayedConnectionIsServedOnceItIsDue)
{
    HeldWork work;
    host::WorkerPool pool(2, {}, work.serve());
    Client delayed;
    Client busy;
    // A busy worker watches nothing; the other must still take the delayed one when it is due.
    pool.enqueue(connection(busy, "stream", "192.0.2.2", Credential::trusted));
    ASSERT_EQ(work.startedOnce(1).size(), 1u);
    pool.enqueue(connection(delayed, "guess", "192.0.2.1", Credential::none, false,
        host::WorkerPool::Clock::now() + 50ms));
    work.release("guess");
    EXPECT_EQ(work.startedOnce(2).back(), "guess");
    work.release("stream");
}

TEST(WorkerPool, aStopClosesTheWaitingConnectionsAndRefusesNewOnes)
{
    HeldWork work;
    Client busy;
    Client waiting;
    Client late;
    host::WorkerPool pool(1, {}, work.serve());
    pool.enqueue(connection(busy, "busy", "192.0.2.1"));
    ASSERT_EQ(work.startedOnce(1).size(), 1u);
    pool.enqueue(connection(waiting, "waiting", "192.0.2.1"));
    // The stop waits for the work being done, but not to close what waits.
    std::thread stopping([&] { pool.stop(); });
    EXPECT_TRUE(waiting.closed());
    work.release("busy");
    stopping.join();
    pool.enqueue(connection(late, "late", "192.0.2.1"));
    EXPECT_TRUE(late.closed());
    EXPECT_EQ(work.started(), std::vector<std::string> { "busy" });
}

}
