// One thread, at the lowest priority, updating the index for the newest list of books it was
// given, and going over it again a little later while books are left for later.
#include "frameworks/folioreader/textindex/TextIndexer.h"

#include "platform/foundation/releaseLargeBlocks.h"

#include <sched.h>
#include <thread>

namespace folioreader {

// Nothing waits for the index: scans, pages and covers come first on a busy machine.
constexpr int indexNiceness = 19;
// How often a waiting indexer asks again whether the pages are still in use.
constexpr auto busyPause = std::chrono::milliseconds(50);

TextIndexer::TextIndexer(std::shared_ptr<TextIndex> index, TextIndexUpdate update)
    : m_index(std::move(index))
    , m_update(std::move(update))
    , m_thread(indexNiceness, [this] { return next(); })
{
}

TextIndexer::~TextIndexer() = default;

void TextIndexer::request(const std::string& folder, std::vector<std::string> names)
{
    if (!m_index)
        return;
    m_thread.post([&] {
        m_total = names.size();
        m_waiting = Request { folder, std::move(names) };
        m_newerWaiting = true;
    });
}

TextIndexer::Progress TextIndexer::progress() const
{
    std::lock_guard lock(m_thread.mutex());
    return { m_indexed.load(), m_total.load(), m_working || m_waiting.has_value() };
}

foundation::BackgroundThread::Next TextIndexer::next()
{
    if (m_waiting) {
        m_current = std::move(m_waiting);
        m_waiting.reset();
    } else if (!m_current) {
        return {};
    } else if (foundation::BackgroundThread::Clock::now() < m_retryAt) {
        // Books left for later are gone over again after a while, or at a newer list.
        return { {}, m_retryAt };
    }
    m_newerWaiting = false;
    m_working = true;
    return { [this] { update(); } };
}

void TextIndexer::update()
{
    // Below the lowest niceness: the thread gets a core when nothing else wants it, and other
    // work that wakes takes its core at once. While large books were indexed at niceness 19
    // alone, far jumps through the library took a median of 167-177 ms against 146 ms so. The
    // thread reading ahead, made by this one, runs so too.
    sched_param idle {};
    (void)::sched_setscheduler(0, SCHED_IDLE, &idle);
    TextIndexUpdate update = m_update;
    update.stopped = [this] { return m_thread.stopping() || m_newerWaiting.load(); };
    // Far jumps took 1.4 times as long at the 90th percentile while large books were indexed
    // beside them, idle class or not: the index waits while a page is in use.
    update.pause = [stopped = update.stopped, busy = m_update.busy] {
        while (busy && busy() && !stopped())
            std::this_thread::sleep_for(busyPause);
    };
    update.progress = [this](std::size_t indexed, std::size_t total) {
        m_indexed = indexed;
        m_total = total;
    };
    // m_current is the thread's own while m_working: requests change m_waiting only.
    auto outcome = updateTextIndex(*m_index, m_current->folder, m_current->names, update);
    // The heaps of the two threads that read and wrote books keep what the largest book took
    // (2 MB or more), as the program's threads' heaps do up to a bound: given back once, when
    // the update ends, rather than after each book (which cost the build 7%).
    if (outcome.read > 0)
        foundation::releaseFreedMemory();
    std::lock_guard lock(m_thread.mutex());
    m_working = false;
    if (outcome.complete) {
        m_indexed = outcome.indexed;
        m_current.reset();
    } else {
        m_retryAt = foundation::BackgroundThread::Clock::now() + retryDelay;
    }
}

}
