// The windows of the tabs, made on a tab's first look and dropped when idle too long or too many.
#include "platform/host/server/ScreenWindows.h"

#include "platform/foundation/randomHex.h"
#include "platform/ui/Application.h"

#include <algorithm>

namespace host {

namespace {

constexpr std::size_t nameLength = 32;

}

ScreenWindows::ScreenWindows(WindowMaker makeWindow)
    : m_makeWindow(std::move(makeWindow))
{
}

foundation::Result<ScreenWindows::Screen*> ScreenWindows::take(
    const std::optional<std::string>& name, std::uint64_t sharedCount, Clock::time_point now)
{
    std::unique_lock lock(m_lock);
    if (!name) {
        if (!m_launch) {
            auto application = ui::Application::sharedApplication();
            auto windows
                = application ? application->windows() : std::vector<std::shared_ptr<ui::Window>>();
            if (windows.empty())
                return foundation::Error("the application has no window");
            m_launch = std::make_unique<Screen>(
                Screen { .window = windows.front(), .sharedSeen = sharedCount });
        }
        m_launch->lastUsed = now;
        return m_launch.get();
    }
    if (auto known = m_screens.find(*name); known != m_screens.end()) {
        known->second->lastUsed = now;
        return known->second.get();
    }
    dropIdle(now, 1);
    // Making a window loads its screen, which may look at the application: not under the lock.
    lock.unlock();
    auto window = TRY(m_makeWindow());
    lock.lock();
    auto screen = std::make_unique<Screen>();
    screen->name = foundation::randomHex(nameLength / 2);
    screen->window = std::move(window);
    screen->sharedSeen = sharedCount;
    screen->lastUsed = now;
    auto* taken = screen.get();
    m_screens.emplace(taken->name, std::move(screen));
    return taken;
}

ScreenWindows::Screen* ScreenWindows::find(const ui::Window* window)
{
    std::lock_guard lock(m_lock);
    for (auto& [name, screen] : m_screens) {
        if (screen->window.get() == window)
            return screen.get();
    }
    return m_launch && m_launch->window.get() == window ? m_launch.get() : nullptr;
}

bool ScreenWindows::keeps(const std::string& name) const
{
    std::lock_guard lock(m_lock);
    return m_screens.count(name) > 0;
}

void ScreenWindows::streamOpened(const std::string& name)
{
    std::lock_guard lock(m_lock);
    ++m_streams[name];
}

void ScreenWindows::streamEnded(const std::string& name)
{
    std::lock_guard lock(m_lock);
    auto open = m_streams.find(name);
    if (open == m_streams.end())
        return;
    if (--open->second == 0)
        m_streams.erase(open);
    // The window's idle time counts from its tab's going away.
    if (auto known = m_screens.find(name); known != m_screens.end())
        known->second->lastUsed = Clock::now();
}

std::size_t ScreenWindows::size() const
{
    std::lock_guard lock(m_lock);
    return m_screens.size();
}

void ScreenWindows::dropIdle(Clock::time_point now, std::size_t room)
{
    auto connected = [this](const std::string& name) { return m_streams.count(name) > 0; };
    std::erase_if(m_screens, [&](const auto& entry) {
        if (connected(entry.first) || now - entry.second->lastUsed < idleLifetime)
            return false;
        close(*entry.second->window);
        return true;
    });
    while (!m_screens.empty() && m_screens.size() + room > maximumWindows) {
        // The one idle longest: a window without a tab before any with one.
        auto idlest = std::min_element(
            m_screens.begin(), m_screens.end(), [&](const auto& a, const auto& b) {
                bool aConnected = connected(a.first), bConnected = connected(b.first);
                if (aConnected != bConnected)
                    return !aConnected;
                return a.second->lastUsed < b.second->lastUsed;
            });
        close(*idlest->second->window);
        m_screens.erase(idlest);
    }
}

void ScreenWindows::close(ui::Window& window)
{
    // A book open in it is closed, so its reader's files stop being served.
    if (auto root = window.rootViewController(); root && root->presentedViewController())
        root->dismissViewControllerAnimated(false);
}

}
