// StateService: the application's state as pages see it, and their actions on it. Every look at
// the application runs as one task on the main loop: the page's viewport applied, the event
// delivered, the snapshot taken — so each answer is consistent, whatever other pages do at the
// same time. Worker threads only post those tasks and wait.
//
// A version counts the changes pages acted on. A page sends the version it drew with each event;
// an event from a page drawn before the last change is refused (409) with the current state,
// because the row it names may now be another book.
#pragma once

#include "platform/host/server/EventStream.h"
#include "platform/host/snapshot/ImageRegistry.h"
#include "platform/host/snapshot/Viewport.h"
#include "platform/ui/MainLoop.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

namespace host {

class StateService {
public:
    // words: what the page's own texts call the application's items (PageWords), sent with
    // every state a page asks for.
    StateService(ui::MainLoop& loop, EventStream& stream, nlohmann::json words = nlohmann::json::object());

    struct Reply {
        int status = 200;
        nlohmann::json body;
    };

    // The snapshot for the viewport, with the page's words; while the application starts, the
    // progress of its first scan and how long it has run, so that a page opened late in a long
    // scan shows its progress at once.
    Reply state(const Viewport& viewport);
    // One action: the next snapshot, or a 4xx with the reason and the current state.
    Reply event(const std::string& body);

    // Until the application is ready, pages see how far its first scan has come. Any thread.
    void setStartupProgress(std::size_t read, std::size_t found);
    // From now on pages see the application itself.
    void applicationReady();
    bool isReady() const { return m_ready.load(); }
    // The state changed for a reason other than a page's event: pages are told to look again.
    // Main loop, like every change of the version.
    void stateChanged();

    // From now on every request is answered 503 without asking the main loop, which may no
    // longer run. For shutdown.
    void close() { m_closed = true; }

    std::uint64_t version() const { return m_version.load(); }
    ImageRegistry& images() { return m_images; }
    // The application's snapshot now, with the version. Main loop only.
    nlohmann::json snapshot();

private:
    nlohmann::json startingSnapshot() const;
    static Reply unavailable(const std::string& why);

    ui::MainLoop& m_loop;
    EventStream& m_stream;
    const nlohmann::json m_words;
    ImageRegistry m_images;
    std::atomic<bool> m_ready { false };
    std::atomic<bool> m_closed { false };
    std::atomic<std::uint64_t> m_version { 0 };
    std::atomic<std::size_t> m_scanRead { 0 };
    std::atomic<std::size_t> m_scanFound { 0 };
    std::chrono::steady_clock::time_point m_startedAt = std::chrono::steady_clock::now();
};

}
