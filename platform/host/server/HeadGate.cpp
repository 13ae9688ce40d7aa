// The head gate: a poll loop over the waiting sockets, a wake pipe for new ones, and the
// deadlines and limits that close the ones that take too long or come too many.
#include "platform/host/server/HeadGate.h"

#include "platform/host/server/SocketAddress.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace host {

namespace {

// The address a connection comes from, without its port.
bool headComplete(const std::string& received)
{
    return received.find("\r\n\r\n") != std::string::npos
        || received.find("\n\n") != std::string::npos;
}

}

HeadGate::HeadGate(Limits limits, Ready ready)
    : m_limits(limits)
    , m_ready(std::move(ready))
{
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wake[0] = m_wake[1] = -1;
    m_thread = std::thread([this] { run(); });
}

HeadGate::~HeadGate()
{
    stop();
    for (int end : m_wake)
        if (end >= 0)
            ::close(end);
}

void HeadGate::stop()
{
    {
        std::lock_guard guard(m_lock);
        m_stopped = true;
    }
    wake();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard guard(m_lock);
    for (auto& waiting : m_waiting)
        ::close(waiting.socket);
    m_waiting.clear();
}

std::size_t HeadGate::waitingCount() const
{
    std::lock_guard guard(m_lock);
    return m_waiting.size();
}

void HeadGate::wake()
{
    if (m_wake[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] auto written = ::write(m_wake[1], &byte, 1);
    }
}

void HeadGate::admit(int socket, std::string received, bool trusted)
{
    // A kept-alive connection may already hold the next request whole.
    if (headComplete(received)) {
        std::unique_lock guard(m_lock);
        if (!m_stopped) {
            guard.unlock();
            m_ready(socket, std::move(received), trusted);
            return;
        }
    }
    Waiting waiting { socket, socketAddress(socket, true).ip, std::move(received),
        std::chrono::steady_clock::now() + m_limits.headDeadline, 0, trusted };
    {
        std::lock_guard guard(m_lock);
        if (m_stopped) {
            ::close(socket);
            return;
        }
        evictFor(waiting.peer);
        waiting.order = ++m_admitted;
        m_waiting.push_back(std::move(waiting));
    }
    wake();
}

void HeadGate::evictFor(const std::string& peer)
{
    auto oldest = [this](auto&& which) {
        auto found = m_waiting.end();
        std::size_t count = 0;
        for (auto entry = m_waiting.begin(); entry != m_waiting.end(); ++entry) {
            if (!which(*entry))
                continue;
            ++count;
            if (found == m_waiting.end() || entry->order < found->order)
                found = entry;
        }
        return std::make_pair(found, count);
    };
    auto [fromPeer, peerCount]
        = oldest([&](const Waiting& waiting) { return waiting.peer == peer && !waiting.trusted; });
    if (peerCount >= m_limits.waitingPerPeer) {
        ::close(fromPeer->socket);
        m_waiting.erase(fromPeer);
    }
    if (m_waiting.size() < m_limits.waiting)
        return;
    auto [stranger, strangers] = oldest([](const Waiting& waiting) { return !waiting.trusted; });
    auto victim = strangers > 0 ? stranger : oldest([](const Waiting&) { return true; }).first;
    ::close(victim->socket);
    m_waiting.erase(victim);
}

bool HeadGate::readSome(Waiting& waiting, bool& complete) const
{
    char buffer[4096];
    for (;;) {
        auto got = ::recv(waiting.socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return false;
        if (got <= 0) {
            complete = false;
            return true;
        }
        waiting.received.append(buffer, std::size_t(got));
        if (headComplete(waiting.received)) {
            complete = true;
            return true;
        }
        if (waiting.received.size() > m_limits.largestHead) {
            complete = false;
            return true;
        }
    }
}

void HeadGate::run()
{
    std::vector<pollfd> watched;
    std::vector<std::uint64_t> orders;
    for (;;) {
        auto timeout = std::chrono::milliseconds(1000);
        watched.assign(1, pollfd { m_wake[0], POLLIN, 0 });
        orders.clear();
        {
            std::lock_guard guard(m_lock);
            if (m_stopped)
                return;
            auto now = std::chrono::steady_clock::now();
            for (auto& waiting : m_waiting) {
                watched.push_back(pollfd { waiting.socket, POLLIN, 0 });
                orders.push_back(waiting.order);
                auto left
                    = std::chrono::duration_cast<std::chrono::milliseconds>(waiting.deadline - now);
                timeout = std::clamp(
                    left + std::chrono::milliseconds(1), std::chrono::milliseconds(0), timeout);
            }
        }
        ::poll(watched.data(), watched.size(), static_cast<int>(timeout.count()));
        if (watched[0].revents & POLLIN) {
            char drained[64];
            while (::read(m_wake[0], drained, sizeof drained) > 0) { }
        }

        std::vector<Waiting> ready;
        {
            std::lock_guard guard(m_lock);
            if (m_stopped)
                return;
            auto now = std::chrono::steady_clock::now();
            for (std::size_t index = 1; index < watched.size(); ++index) {
                if (!watched[index].revents)
                    continue;
                auto entry = std::find_if(m_waiting.begin(), m_waiting.end(),
                    [&](const Waiting& waiting) { return waiting.order == orders[index - 1]; });
                if (entry == m_waiting.end())
                    continue;
                bool complete = false;
                if (!readSome(*entry, complete))
                    continue;
                if (complete)
                    ready.push_back(std::move(*entry));
                else
                    ::close(entry->socket);
                m_waiting.erase(entry);
            }
            std::erase_if(m_waiting, [&](const Waiting& waiting) {
                if (waiting.deadline > now)
                    return false;
                ::close(waiting.socket);
                return true;
            });
        }
        for (auto& waiting : ready)
            m_ready(waiting.socket, std::move(waiting.received), waiting.trusted);
    }
}

}
