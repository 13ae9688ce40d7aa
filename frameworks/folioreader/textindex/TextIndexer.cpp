// One thread, at the lowest priority, updating the index for the newest list of books it was
// given, and going over it again a little later while books are left for later.
#include "frameworks/folioreader/textindex/TextIndexer.h"

#include <sys/resource.h>
#include <unistd.h>

namespace folioreader {

namespace {

std::atomic<TextIndexer*> runningIndexer { nullptr };

}

TextIndexer::TextIndexer(std::shared_ptr<TextIndex> index, TextIndexUpdate update)
    : m_index(std::move(index))
    , m_update(std::move(update))
    , m_thread([this] { run(); })
{
    runningIndexer.store(this);
}

TextIndexer::~TextIndexer()
{
    TextIndexer* self = this;
    runningIndexer.compare_exchange_strong(self, nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

TextIndexer* TextIndexer::running() { return runningIndexer.load(); }

void TextIndexer::request(const std::string& folder, std::vector<std::string> names)
{
    if (!m_index)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_total = names.size();
        m_waiting = Request { folder, std::move(names) };
        m_newerWaiting = true;
    }
    m_wake.notify_one();
}

TextIndexer::Progress TextIndexer::progress() const
{
    std::lock_guard lock(m_mutex);
    return { m_indexed.load(), m_total.load(), m_working || m_waiting.has_value() };
}

void TextIndexer::run()
{
    // Nothing waits for the index: scans, pages and covers come first on a busy machine.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    std::optional<Request> current;
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            auto ready = [this] { return m_stopping || m_waiting.has_value(); };
            // Books left for later are gone over again after a while, or at a newer list.
            if (current)
                m_wake.wait_for(lock, retryDelay, ready);
            else
                m_wake.wait(lock, ready);
            if (m_stopping)
                return;
            if (m_waiting) {
                current = std::move(m_waiting);
                m_waiting.reset();
            }
            m_newerWaiting = false;
            m_working = true;
        }
        TextIndexUpdate update = m_update;
        update.stopped = [this] { return m_stopping.load() || m_newerWaiting.load(); };
        update.progress = [this](std::size_t indexed, std::size_t total) {
            m_indexed = indexed;
            m_total = total;
        };
        auto outcome = updateTextIndex(*m_index, current->folder, current->names, update);
        std::lock_guard lock(m_mutex);
        m_working = false;
        if (outcome.complete) {
            m_indexed = outcome.indexed;
            current.reset();
        }
    }
}

}
