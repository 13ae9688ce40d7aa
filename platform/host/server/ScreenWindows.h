// ScreenWindows: a window of the application for each browser tab that shows it, by a name the
// host gives the tab. The tab keeps the name for its life (a reload keeps its screen: search text,
// scroll, open book) and sends it with every request; a new tab, or one whose window is gone, gets
// a new window at the library screen. A client that says nothing of windows (a script, a test)
// is served the window the application was launched with, which is never dropped.
//
// A window is kept while its tab holds a change stream open and for a while after; beyond the
// bound the one idle longest goes first. Each remembers what it has seen of the state all windows
// share, so that a change made elsewhere is shown before it is next looked at, and when its own
// rows last changed, so that an event from a page drawn before that is refused.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Window.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace host {

class ScreenWindows {
public:
    using Clock = std::chrono::steady_clock;
    // Makes a new window of the application. Main loop.
    using WindowMaker = std::function<foundation::Result<std::shared_ptr<ui::Window>>()>;

    static constexpr std::size_t maximumWindows = 16;
    static constexpr auto idleLifetime = std::chrono::minutes(30);

    explicit ScreenWindows(WindowMaker makeWindow);

    struct Screen {
        std::string name;
        std::shared_ptr<ui::Window> window;
        // The shared state's count when the window last showed it.
        std::uint64_t sharedSeen = 0;
        // The state version of the window's last change of its own.
        std::uint64_t changedAt = 0;
        Clock::time_point lastUsed {};
    };

    // The window the tab names, or a new one (under a new name) when it names none kept; for no
    // name, the application's first window. An error when no window can be had. Main loop.
    foundation::Result<Screen*> take(const std::optional<std::string>& name,
        std::uint64_t sharedCount, Clock::time_point now = Clock::now());
    // The tab's entry of a window. Main loop.
    Screen* find(const ui::Window* window);
    // Whether the tab's window is kept now. Any thread.
    bool keeps(const std::string& name) const;

    // A change stream of the named tab opened or ended: its window is kept while one is open.
    // Any thread.
    void streamOpened(const std::string& name);
    void streamEnded(const std::string& name);

    // The tabs' windows kept now.
    std::size_t size() const;

private:
    // Drops windows idle past their lifetime, and the idlest beyond the bound. Under the lock.
    void dropIdle(Clock::time_point now, std::size_t room);
    static void close(ui::Window& window);

    WindowMaker m_makeWindow;
    mutable std::mutex m_lock;
    std::unordered_map<std::string, std::unique_ptr<Screen>> m_screens;
    // Change streams open now, by the name their tab sent.
    std::unordered_map<std::string, std::size_t> m_streams;
    // The launch window's entry, for clients that name no window.
    std::unique_ptr<Screen> m_launch;
};

}
