// State and events on the main loop, with the version that keeps pages from acting on old rows.
#include "platform/host/server/StateService.h"

#include "platform/host/server/EventDispatch.h"
#include "platform/host/snapshot/Snapshot.h"
#include "platform/ui/HeadlessDriver.h"

namespace host {

StateService::StateService(ui::MainLoop& loop, EventStream& stream, nlohmann::json words)
    : m_loop(loop), m_stream(stream), m_words(std::move(words))
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
    stateChanged();
}

void StateService::stateChanged()
{
    m_stream.publish(++m_version);
}

StateService::Reply StateService::unavailable(const std::string& why)
{
    return { 503, { { "error", why } } };
}

nlohmann::json StateService::startingSnapshot() const
{
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_startedAt);
    return { { "version", 0 }, { "words", m_words },
        { "starting", { { "read", m_scanRead.load() }, { "found", m_scanFound.load() }, { "elapsed", elapsed.count() } } } };
}

nlohmann::json StateService::snapshot()
{
    auto window = ui::HeadlessDriver::window();
    if (!window)
        return { { "version", m_version.load() }, { "screen", nullptr }, { "presented", nlohmann::json::array() } };
    auto json = windowSnapshot(*window, m_images);
    json["version"] = m_version.load();
    return json;
}

StateService::Reply StateService::state(const Viewport& viewport)
{
    if (m_closed)
        return unavailable("Pagewyn has stopped");
    if (!m_ready)
        return { 200, startingSnapshot() };
    // A look: answered also while the main thread waits for a book to unpack.
    auto reply = m_loop.performAndWait([&] {
        ui::HeadlessDriver driver(m_loop);
        applyViewport(viewport, driver);
        return snapshot();
    }, ui::TaskKind::look);
    if (!reply)
        return unavailable(reply.error().description());
    (*reply)["words"] = m_words;
    return { 200, std::move(*reply) };
}

StateService::Reply StateService::event(const std::string& body)
{
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
        return { 400, { { "error", "\"version\" must be the version of the state the page shows" } } };
    auto viewport = viewportFromJson(event.value("viewport", nlohmann::json()));
    if (!viewport)
        return { 400, { { "error", viewport.error().description() } } };

    auto reply = m_loop.performAndWait([&]() -> Reply {
        ui::HeadlessDriver driver(m_loop);
        applyViewport(*viewport, driver);
        if (version->get<std::uint64_t>() != m_version.load() && !namedRowStillShows(event))
            return { 409, { { "error", "the library changed since the page was drawn; nothing was done" }, { "state", snapshot() } } };
        if (auto failure = dispatchEvent(event, driver))
            return { failure->status, { { "error", failure->description }, { "state", snapshot() } } };
        // Only the main loop changes the version, so the page's own answer carries the number
        // every other page is told about.
        ++m_version;
        return { 200, snapshot() };
    });
    if (!reply)
        return unavailable(reply.error().description());
    if (reply->status == 200)
        m_stream.publish(m_version.load());
    return std::move(*reply);
}

}
