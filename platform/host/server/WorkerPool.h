// WorkerPool: the host's workers and the order in which they take the connections whose request
// heads are complete. Connections with the launch's token are served first, always; strangers
// (the open routes, or anyone without the token) share a small budget of workers, per address
// and in all, and wait in a bounded queue beyond it. So connections that never read their
// answers cost the page at most the strangers' share of the workers.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

class WorkerPool {
public:
    struct Budget {
        // Strangers' connections served at once, from one address and in all. A browser opens
        // at most six connections to a host, so the page's own loads without the token (its
        // files, pictures and book pages) never wait for this budget.
        std::size_t strangersPerPeer = 8;
        std::size_t strangers = 16;
        // Strangers' connections waiting for a worker; past these the oldest waiting one of the
        // address (or of all) is closed.
        std::size_t waitingPerPeer = 64;
        std::size_t waiting = 512;
    };
    struct Connection {
        int socket = -1;
        std::string received;
        std::string peer;
        bool trusted = false;
    };
    // Runs on a worker; owns the connection's socket from then on.
    using Serve = std::function<void(Connection connection)>;

    WorkerPool(std::size_t workers, Budget budget, Serve serve);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues the connection; once stopped, closes it.
    void enqueue(Connection connection);
    // Closes the connections still waiting and waits for the workers to end their requests.
    // Safe to call more than once.
    void stop();

private:
    void work();
    // The next connection a worker may take, when there is one. Lock held.
    bool takeNext(Connection& connection);
    // Closes the oldest waiting stranger from the peer (every peer when empty). Lock held.
    void closeOldestStranger(const std::string& peer);

    const Budget m_budget;
    const Serve m_serve;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Connection> m_trusted;
    std::deque<Connection> m_strangers;
    std::map<std::string, std::size_t> m_strangersServed;
    std::size_t m_strangersServedInAll = 0;
    bool m_stopped = false;
    std::vector<std::thread> m_workers;
};

}
