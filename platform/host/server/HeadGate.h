// HeadGate: where a connection waits, without a worker, until a whole request head has arrived.
// One thread watches every waiting socket. A head that is complete goes to a worker with the
// bytes read so far; a connection whose head is not complete within the deadline is closed, and
// when one peer has too many connections waiting its oldest waiting one is closed — one that last
// carried the launch's token only when no other is left to close. So a slow or idle connection
// can hold up nothing but itself, and a worker only ever serves a request that is fully there to
// be checked.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace host {

class HeadGate {
public:
    struct Limits {
        // From the moment a connection is taken (or a kept-alive one is given back) until the
        // blank line that ends its head.
        std::chrono::milliseconds headDeadline { 4000 };
        // Connections waiting for their heads, from one address (not counting those whose last
        // request carried the token) and in all.
        std::size_t waitingPerPeer = 32;
        std::size_t waiting = 1024;
        // A longer head is refused by closing the connection.
        std::size_t largestHead = 16 * 1024;
    };
    // Called on the gate's thread with a socket whose head is complete, the bytes read from it
    // and whether its last request carried the launch's token; the callee owns the socket from
    // then on.
    using Ready = std::function<void(int socket, std::string received, bool trusted)>;

    HeadGate(Limits limits, Ready ready);
    ~HeadGate();
    HeadGate(const HeadGate&) = delete;
    HeadGate& operator=(const HeadGate&) = delete;

    // Takes the socket, with any bytes already read from it; trusted when its last request
    // carried the launch's token. Once stopped, closes it.
    void admit(int socket, std::string received = {}, bool trusted = false);
    // Closes every waiting connection and ends the thread. Safe to call more than once.
    void stop();

    std::size_t waitingCount() const;

private:
    struct Waiting {
        int socket = -1;
        std::string peer;
        std::string received;
        std::chrono::steady_clock::time_point deadline;
        std::uint64_t order = 0;
        bool trusted = false;
    };

    void run();
    void wake();
    // Reads what arrived; true when the connection is to be let through or closed (done says
    // which).
    bool readSome(Waiting& waiting, bool& complete) const;
    // Makes room for one more waiting connection from the peer. Lock held.
    void evictFor(const std::string& peer);

    const Limits m_limits;
    const Ready m_ready;
    mutable std::mutex m_lock;
    std::vector<Waiting> m_waiting;
    std::uint64_t m_admitted = 0;
    bool m_stopped = false;
    int m_wake[2] { -1, -1 };
    std::thread m_thread;
};

}
