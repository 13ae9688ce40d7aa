// State and events on the main loop, with the version that keeps pages from acting on old rows.
#include "platform/host/server/StateService.h"

#include "platform/host/server/EventDispatch.h"
#include "platform/host/snapshot/Snapshot.h"
#include "platform/ui/Application.h"
#include "platform/ui/ApplicationMain.h"
#include "platform/ui/HeadlessDriver.h"
#include "platform/ui/TableViewController.h"

#include <algorithm>

namespace host {

namespace {

// A window that has not seen the latest change of what every window shows counts its rows again.
void showSharedChange(ui::Window& window)
{
    if (auto controller
        = std::dynamic_pointer_cast<ui::TableViewController>(window.rootViewController()))
        controller->tableView()->reloadData();
}

// A look leaves the window that takes the user's events as it was.
class KeyWindowKept {
public:
    KeyWindowKept()
        : m_application(ui::Application::sharedApplication())
        , m_key(m_application ? m_application->keyWindow() : nullptr)
    {
    }
    ~KeyWindowKept()
    {
        if (m_key)
            m_application->setKeyWindow(m_key);
    }
    KeyWindowKept(const KeyWindowKept&) = delete;
    KeyWindowKept& operator=(const KeyWindowKept&) = delete;

private:
    std::shared_ptr<ui::Application> m_application;
    std::shared_ptr<ui::Window> m_key;
};

}

StateService::StateService(
    ui::MainLoop& loop, EventStream& stream, nlohmann::json words, SharedCount sharedCount)
    : m_loop(loop)
    , m_stream(stream)
    , m_words(std::move(words))
    , m_sharedCount(std::move(sharedCount))
    , m_windows([] { return ui::openWindow(); })
{
}

void StateService::setStartupProgress(std::size_t read, std::size_t found)
{
    m_scanRead = read;
    m_scanFound = found;
}

void StateService::applicationReady()
{
    if (m_ready.exchange(true))
        return;
    if (m_sharedCount)
        m_sharedNoted = m_sharedCount();
    stateChanged();
}

void StateService::stateChanged()
{
    ++m_version;
    noteSharedChange();
    if (auto* screen = keyScreen())
        screen->changedAt = m_version;
    m_stream.publish(m_version);
}

void StateService::screenChanged()
{
    m_stream.redraw();
}

bool StateService::noteSharedChange()
{
    auto count = m_sharedCount ? m_sharedCount() : 0;
    if (count == m_sharedNoted)
        return false;
    m_sharedNoted = count;
    m_sharedChangedAt = m_version;
    return true;
}

ScreenWindows::Screen* StateService::keyScreen()
{
    auto application = ui::Application::sharedApplication();
    return application ? m_windows.find(application->keyWindow().get()) : nullptr;
}

ScreenWindows::Screen* StateService::enterWindow(const std::optional<std::string>& window)
{
    auto application = ui::Application::sharedApplication();
    if (!application)
        return nullptr;
    // A change no event made (a scan, another program's hand-over) is a version of its own.
    if (noteSharedChange()) {
        m_sharedChangedAt = ++m_version;
        m_stream.publish(m_version);
    }
    auto screen = m_windows.take(window, m_sharedNoted);
    if (!screen)
        return nullptr;
    application->setKeyWindow((*screen)->window);
    if ((*screen)->sharedSeen != m_sharedNoted) {
        showSharedChange(*(*screen)->window);
        (*screen)->sharedSeen = m_sharedNoted;
    }
    return *screen;
}

StateService::Reply StateService::unavailable(const std::string& why)
{
    return { 503, { { "error", why } } };
}

nlohmann::json StateService::startingSnapshot() const
{
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_startedAt);
    return { { "version", 0 }, { "words", m_words },
        { "starting",
            { { "read", m_scanRead.load() }, { "found", m_scanFound.load() },
                { "elapsed", elapsed.count() } } } };
}

nlohmann::json StateService::snapshot()
{
    auto window = ui::HeadlessDriver::window();
    if (!window)
        return { { "version", m_version.load() }, { "screen", nullptr },
            { "presented", nlohmann::json::array() } };
    auto json = windowSnapshot(*window, m_images);
    json["version"] = m_version.load();
    if (auto* screen = keyScreen(); screen && !screen->name.empty())
        json["windowName"] = screen->name;
    return json;
}

bool StateService::askedWithin(std::chrono::steady_clock::duration span) const
{
    const auto asked = m_lastAsked.load();
    return asked != 0
        && std::chrono::steady_clock::now().time_since_epoch()
            - std::chrono::steady_clock::duration(asked)
        < span;
}

StateService::Reply StateService::state(
    const Viewport& viewport, const std::optional<std::string>& window)
{
    m_lastAsked = std::chrono::steady_clock::now().time_since_epoch().count();
    if (m_closed)
        return unavailable("Pagewyn has stopped");
    if (!m_ready)
        return { 200, startingSnapshot() };
    // A new tab's window is made first, as a change: its screen loads and scans the library,
    // which no look may do while a book is being unpacked.
    auto named = window;
    if (named && !m_windows.keeps(*named)) {
        auto made = m_loop.performAndWait([&]() -> std::optional<std::string> {
            KeyWindowKept kept;
            auto* screen = enterWindow(named);
            return screen ? std::optional(screen->name) : std::nullopt;
        });
        if (!made)
            return unavailable(made.error().description());
        if (!*made)
            return unavailable("no window can be opened for this page");
        named = **made;
    }
    // A look: answered also while the main thread waits for a book to unpack.
    auto reply = m_loop.performAndWait(
        [&]() -> std::optional<nlohmann::json> {
            KeyWindowKept kept;
            if (!enterWindow(named))
                return std::nullopt;
            ui::HeadlessDriver driver(m_loop);
            applyViewport(viewport, driver);
            return snapshot();
        },
        ui::TaskKind::look);
    if (!reply)
        return unavailable(reply.error().description());
    if (!*reply)
        return unavailable("no window can be opened for this page");
    (**reply)["words"] = m_words;
    return { 200, std::move(**reply) };
}

StateService::Reply StateService::event(
    const std::string& body, const std::optional<std::string>& window)
{
    m_lastAsked = std::chrono::steady_clock::now().time_since_epoch().count();
    if (m_closed)
        return unavailable("Pagewyn has stopped");
    if (!m_ready)
        return unavailable("Pagewyn is still starting");
    auto event = nlohmann::json::parse(body, nullptr, false);
    if (event.is_discarded())
        return { 400, { { "error", "the event is not JSON" } } };
    if (auto failure = checkEvent(event))
        return { failure->status, { { "error", failure->description } } };
    auto version = event.find("version");
    if (version == event.end() || !version->is_number_unsigned())
        return { 400,
            { { "error", "\"version\" must be the version of the state the page shows" } } };
    auto viewport = viewportFromJson(event.value("viewport", nlohmann::json()));
    if (!viewport)
        return { 400, { { "error", viewport.error().description() } } };

    auto reply = m_loop.performAndWait([&]() -> Reply {
        auto* screen = enterWindow(window);
        if (!screen)
            return unavailable("no window can be opened for this page");
        // A page whose window is gone (dropped while idle, or Pagewyn started again) is given a
        // new one at the library screen: what it named is not there.
        if (window && screen->name != *window)
            return { 409,
                { { "error", "this page's screen was closed; nothing was done" },
                    { "state", snapshot() } } };
        ui::HeadlessDriver driver(m_loop);
        applyViewport(*viewport, driver);
        // Drawn before the last change of its window's rows, its own or one every window shows.
        if (version->get<std::uint64_t>() < std::max(m_sharedChangedAt, screen->changedAt)
            && !namedRowStillShows(event))
            return { 409,
                { { "error", "the library changed since the page was drawn; nothing was done" },
                    { "state", snapshot() } } };
        if (auto failure = dispatchEvent(event, driver))
            return { failure->status,
                { { "error", failure->description }, { "state", snapshot() } } };
        // Only the main loop changes the version, so the page's own answer carries the number
        // every other page is told about.
        ++m_version;
        noteSharedChange();
        screen->changedAt = m_version;
        screen->sharedSeen = m_sharedNoted;
        return { 200, snapshot() };
    });
    if (!reply)
        return unavailable(reply.error().description());
    if (reply->status == 200)
        m_stream.publish(m_version.load());
    return std::move(*reply);
}

}
