// CoverLoader: row covers read away from the main loop. A cover the store does not know yet is
// read, decoded, scaled down and kept by a thread of its own, the cover asked for last first (the
// rows a jump landed on), so a row answers at once with the blank cover and is shown its own once
// the main loop hears it is ready. At most a screen or two of requests wait; the oldest are
// forgotten, being rows long scrolled past, and asked for again if they come back into view.
#pragma once

#include "platform/foundation/BackgroundThread.h"
#include "platform/foundation/Result.h"
#include "platform/ui/Image.h"
#include "platform/ui/MainLoop.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace folioreader {

class CoverLoader {
public:
    using Cover = foundation::Result<std::shared_ptr<ui::Image>>;
    // Told on the main loop, with the book's path and its cover (an error: the blank one), once
    // it was read.
    using Ready = std::function<void(const std::string& path, const Cover& cover)>;

    static constexpr std::size_t mostWaiting = 64;
    // Covers read lately, kept for rows shown again before the store has them (a book changed in
    // the last seconds is not stored yet).
    static constexpr std::size_t mostRemembered = 256;

    // lookAgain is told on the main loop each time the loader has read all it was asked for: rows
    // still in view showing the blank cover ask again for those never read (a request let go).
    // Whoever answers must not ask again for a cover read lately, or an unreadable one would be
    // read over and over.
    CoverLoader(ui::MainLoop& loop, Ready ready, std::function<void()> lookAgain = {});
    // Finishes the cover being read, forgets the rest.
    ~CoverLoader();
    CoverLoader(const CoverLoader&) = delete;
    CoverLoader& operator=(const CoverLoader&) = delete;

    // Asks for the cover of the book at path; one asked for already and not read yet is asked
    // once. Any thread.
    void request(const std::string& path);
    // The cover read for the path lately, if any. Any thread.
    std::optional<Cover> recent(const std::string& path) const;

private:
    foundation::BackgroundThread::Next next();
    void read(const std::string& path);

    ui::MainLoop& m_loop;
    Ready m_ready;
    std::function<void()> m_lookAgain;
    // Under m_thread's lock.
    std::deque<std::string> m_waiting;
    // Waiting or being read.
    std::unordered_set<std::string> m_asked;
    std::unordered_map<std::string, Cover> m_recent;
    std::deque<std::string> m_recentOrder;
    foundation::BackgroundThread m_thread;
};

}
