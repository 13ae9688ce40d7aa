// EventStream: the server-sent events that tell open pages the state changed for a reason other
// than their own request (another tab's action, a file handed over). Each open page holds one
// stream; a message carries the new state version, and a comment every few seconds keeps the
// connection alive and notices a closed page.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace host {

class EventStream {
public:
    // Each stream holds one of the host's workers; beyond this many pages are asked to poll.
    static constexpr std::size_t maximumStreams = 16;

    // Tells every open stream the new version.
    void publish(std::uint64_t version);
    // Ends every stream, for shutdown; no stream opens after it.
    void close();

    // Takes a place for a new stream; false when all are taken or the host is closing.
    bool open();
    // Gives the place back when the stream ended.
    void release();
    std::size_t openStreams() const;

    // The next piece of a stream that last sent lastSent: a "changed" message as soon as the
    // version is newer, else a keep-alive comment after the interval. Nothing once closed.
    std::optional<std::string> next(std::uint64_t& lastSent, std::chrono::milliseconds keepAlive);

    static std::string changedMessage(std::uint64_t version);

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_version = 0;
    std::size_t m_open = 0;
    bool m_closed = false;
};

}
