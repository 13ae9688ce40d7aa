// EventStream: the server-sent events that tell open pages the state changed for a reason other
// than their own request (another tab's action, a file handed over), or that what they show
// changed by itself (a row's cover arrived: "redraw", no new version). Each open page holds one
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
    // Tells every open stream to look again at the version it has.
    void redraw();
    // Ends every stream, for shutdown; no stream opens after it.
    void close();

    // Takes a place for a new stream; false when all are taken or the host is closing.
    bool open();
    // Gives the place back when the stream ended.
    void release();
    std::size_t openStreams() const;
    // How many streams are waiting in next for something to tell.
    std::size_t waitingStreams() const;

    // What a stream has told its page.
    struct Told {
        std::uint64_t version = 0;
        std::uint64_t redraws = 0;
    };
    // The next piece of a stream that told its page so much: a "changed" message as soon as the
    // version is newer, else a "redraw" message, else a keep-alive comment after the interval.
    // Nothing once closed.
    std::optional<std::string> next(Told& told, std::chrono::milliseconds keepAlive);
    // Where a new stream starts: at the version given, every redraw before it told.
    Told startingAt(std::uint64_t version) const;

    static std::string changedMessage(std::uint64_t version);
    static constexpr const char* redrawMessage = "event: redraw\ndata: {}\n\n";

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::uint64_t m_version = 0;
    std::uint64_t m_redraws = 0;
    std::size_t m_open = 0;
    std::size_t m_waiting = 0;
    bool m_closed = false;
};

}
