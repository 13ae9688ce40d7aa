// WorkerPool: the host's workers and the order in which they take the connections whose request
// heads are complete. Connections with the launch's token or a paired device's key are served
// first, always. Reading apps with the catalog's password share a budget of their own, in which
// downloads may not take every place; strangers (the open routes, or anyone without a credential)
// share another, per address and in all. Beyond its budget a connection waits in a bounded queue.
// So connections that never read their answers cost the page at most the strangers' share of
// the workers, and strangers cost the paired devices and the reading apps nothing. A connection
// from an address that keeps guessing secrets waits its delay here, holding no worker.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace host {

class WorkerPool {
public:
    using Clock = std::chrono::steady_clock;

    // What a request head showed before it queued.
    enum class Credential {
        // The launch's token or a paired device's key (or the connection's last request did).
        trusted,
        // The catalog's password, in HTTP Basic.
        catalogPassword,
        // None: a stranger.
        none,
    };
    // Connections of one credential served at once, from one address and in all.
    struct Share {
        std::size_t perPeer;
        std::size_t inAll;
    };
    struct Budget {
        // A browser opens at most six connections to a host, so the page's own loads without the
        // token (its files, pictures and book pages) never wait for this budget.
        Share strangers { 8, 16 };
        Share catalogClients { 6, 12 };
        // Of the catalog clients' places, downloads take at most this many: feeds are answered
        // while downloads stall.
        std::size_t catalogDownloads = 8;
        // Connections of one budgeted credential waiting for a worker; past these the oldest
        // waiting one of the address (or of all) is closed.
        std::size_t waitingPerPeer = 64;
        std::size_t waiting = 512;
        // Connections from one address waiting out a delay; past this the oldest is closed, so
        // waiting costs a guesser as many answers a second as holding workers did.
        std::size_t delayedPerPeer = 8;
    };
    struct Connection {
        int socket = -1;
        std::string received;
        std::string peer;
        Credential credential = Credential::none;
        // A catalog download: a long answer, counted apart within the catalog clients' share.
        bool download = false;
        // Taken by no worker before then: its address failed too often lately.
        Clock::time_point notBefore {};
        // This request's own head carries the token or a paired device's key (credential may
        // also be trusted by the connection's last request): the connection then keeps its
        // place before strangers' for its next one.
        bool headTrusted = false;
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

    // How many connections of each budgeted credential are served now, and how many wait.
    struct Load {
        std::size_t strangersServed = 0;
        std::size_t catalogClientsServed = 0;
        std::size_t catalogDownloadsServed = 0;
        std::size_t waiting = 0;
        std::size_t delayed = 0;
    };
    Load load() const;

private:
    // The connections served now under one budgeted credential.
    struct Served {
        std::map<std::string, std::size_t> perPeer;
        std::size_t inAll = 0;
        std::size_t downloads = 0;
    };

    void work();
    // The next connection a worker may take now, if any; else when the next delayed one is due.
    // Lock held.
    bool takeNext(
        Connection& connection, Clock::time_point now, std::optional<Clock::time_point>& nextDue);
    // Whether the connection's credential has a place for it now. Lock held.
    bool hasPlace(const Connection& connection) const;
    // Closes the oldest waiting connection of the queue that matches. Lock held.
    void closeOldest(
        std::deque<Connection>& queue, const std::function<bool(const Connection&)>& matches);
    void makeRoomFor(const Connection& connection, Clock::time_point now);

    static std::size_t index(Credential credential) { return static_cast<std::size_t>(credential); }

    const Budget m_budget;
    const Serve m_serve;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    // A queue and the places taken for each credential, by index().
    std::array<std::deque<Connection>, 3> m_queues;
    std::array<Served, 3> m_served;
    bool m_stopped = false;
    std::vector<std::thread> m_workers;
};

}
