// TextIndexer: the program's thread that keeps the library's text index up to date. After each
// scan of the library it brings the index up to date with the scan's books, at the lowest
// priority and off the library screen's path; searches meanwhile find the books already indexed,
// and the search field says how far it has come. The program makes one and hands it to the
// library's scans and to the search routes.
#pragma once

#include "frameworks/folioreader/textindex/TextIndex.h"
#include "frameworks/folioreader/textindex/updateTextIndex.h"
#include "platform/foundation/BackgroundThread.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace folioreader {

class TextIndexer {
public:
    explicit TextIndexer(std::shared_ptr<TextIndex> index, TextIndexUpdate update = {});
    // Stops before the next book, keeping every book indexed.
    ~TextIndexer();
    TextIndexer(const TextIndexer&) = delete;
    TextIndexer& operator=(const TextIndexer&) = delete;

    const std::shared_ptr<TextIndex>& index() const { return m_index; }

    // After a scan: the folder's books, named. An update under way for an older list ends at its
    // next book and starts over with this one (the books it did are not read again).
    void request(const std::string& folder, std::vector<std::string> names);

    struct Progress {
        std::size_t indexed = 0; // books whose text the index holds
        std::size_t total = 0; // of the library's books
        bool working = false; // an update is under way or waiting
    };
    Progress progress() const;

    // How long an update that left books for later (changed a moment ago, or the index busy) waits
    // before it goes over the library again.
    static constexpr std::chrono::seconds retryDelay { 10 };

private:
    struct Request {
        std::string folder;
        std::vector<std::string> names;
    };
    foundation::BackgroundThread::Next next();
    void update();

    std::shared_ptr<TextIndex> m_index;
    TextIndexUpdate m_update;
    // Under m_thread's lock: the newest list, the one being gone over (kept while books are left
    // for later), and when it is gone over again.
    std::optional<Request> m_waiting;
    std::optional<Request> m_current;
    foundation::BackgroundThread::Clock::time_point m_retryAt;
    bool m_working = false;
    std::atomic<bool> m_newerWaiting { false };
    std::atomic<std::size_t> m_indexed { 0 };
    std::atomic<std::size_t> m_total { 0 };
    foundation::BackgroundThread m_thread;
};

}
