// StateService: the application's state as pages see it, and their actions on it. Every look at
// the application runs as one task on the main loop: the page's viewport applied, the event
// delivered, the snapshot taken — so each answer is consistent, whatever other pages do at the
// same time. Worker threads only post those tasks and wait.
//
// Each browser tab has a window of its own (ScreenWindows), named in its requests; what every
// window shows (the application's shared state, as the count the application hands over says) is
// caught up in a window before it is looked at or acted in.
//
// A version counts the changes pages acted on, in any window. A page sends the version it drew
// with each event; an event from a page drawn before the last change of its window (its own, or
// one of the shared state) is refused (409) with the current state, because the row it names may
// now be another book.
#pragma once

#include "platform/host/server/EventStream.h"
#include "platform/host/server/ScreenWindows.h"
#include "platform/host/snapshot/ImageRegistry.h"
#include "platform/host/snapshot/Viewport.h"
#include "platform/ui/MainLoop.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace host {

class StateService {
public:
    // A number that moves whenever what every window shows changes (the application's list and
    // its order). Main loop.
    using SharedCount = std::function<std::uint64_t()>;

    // words: what the page's own texts call the application's items (PageWords), sent with
    // every state a page asks for.
    StateService(ui::MainLoop& loop, EventStream& stream,
        nlohmann::json words = nlohmann::json::object(), SharedCount sharedCount = {});

    struct Reply {
        int status = 200;
        nlohmann::json body;
    };

    // The snapshot of the tab's window (window: the name its page was given, anything else for a
    // new tab; nothing for the launch window) for the
    // viewport, with the page's words and the window's name; while the application starts, the
    // progress of its first scan and how long it has run, so that a page opened late in a long
    // scan shows its progress at once.
    Reply state(const Viewport& viewport, const std::optional<std::string>& window = std::nullopt);
    // One action in the tab's window: the next snapshot, or a 4xx with the reason and the current
    // state.
    Reply event(const std::string& body, const std::optional<std::string>& window = std::nullopt);

    // Makes the tab's window the key window, so what the work run next on the main loop delivers
    // goes there (an upload, to its picker), and answers its entry; nothing when no window can be
    // had. Main loop.
    ScreenWindows::Screen* enterWindow(const std::optional<std::string>& window);

    // Until the application is ready, pages see how far its first scan has come. Any thread.
    void setStartupProgress(std::size_t read, std::size_t found);
    // From now on pages see the application itself.
    void applicationReady();
    bool isReady() const { return m_ready.load(); }
    // The state changed for a reason other than a page's event (in the key window: an upload, a
    // hand-over): pages are told to look again. Main loop, like every change of the version.
    void stateChanged();

    // What a window shows changed by itself (a row's picture arrived): pages look again, at the
    // same version, so nothing they act on is refused for it. Main loop.
    void screenChanged();

    // From now on every request is answered 503 without asking the main loop, which may no
    // longer run. For shutdown.
    void close() { m_closed = true; }

    // A page asked for what it shows, or sent an event, this shortly ago: a person is using it.
    // Background work that would slow the answers waits meanwhile. Any thread.
    bool askedWithin(std::chrono::steady_clock::duration span) const;

    std::uint64_t version() const { return m_version.load(); }
    ImageRegistry& images() { return m_images; }
    ScreenWindows& windows() { return m_windows; }
    // The key window's snapshot now, with the version and the window's name. Main loop only.
    nlohmann::json snapshot();

private:
    nlohmann::json startingSnapshot() const;
    static Reply unavailable(const std::string& why);
    // Notes a change of the shared state since it was last noted, as made at the current
    // version; whether there was one. Main loop.
    bool noteSharedChange();
    // The key window's entry, if it is a tab's or the launch's. Main loop.
    ScreenWindows::Screen* keyScreen();

    ui::MainLoop& m_loop;
    EventStream& m_stream;
    const nlohmann::json m_words;
    const SharedCount m_sharedCount;
    ImageRegistry m_images;
    ScreenWindows m_windows;
    // Main loop: the shared count last noted, and the version at which it moved.
    std::uint64_t m_sharedNoted = 0;
    std::uint64_t m_sharedChangedAt = 0;
    std::atomic<bool> m_ready { false };
    std::atomic<bool> m_closed { false };
    std::atomic<std::uint64_t> m_version { 0 };
    std::atomic<std::size_t> m_scanRead { 0 };
    std::atomic<std::size_t> m_scanFound { 0 };
    std::chrono::steady_clock::time_point m_startedAt = std::chrono::steady_clock::now();
    // When a page last asked for its state or sent an event, on the steady clock.
    std::atomic<std::chrono::steady_clock::rep> m_lastAsked { 0 };
};

}
