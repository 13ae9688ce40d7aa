// One thread reading the covers rows wait for, the latest asked first.
#include "frameworks/folioreader/metadata/CoverLoader.h"

#include "frameworks/folioreader/FolioReader.h"

#include <sys/resource.h>
#include <unistd.h>
#include <utility>

namespace folioreader {

CoverLoader::CoverLoader(ui::MainLoop& loop, Ready ready, std::function<void()> lookAgain)
    : m_loop(loop), m_ready(std::move(ready)), m_lookAgain(std::move(lookAgain)), m_thread([this] { run(); })
{
}

CoverLoader::~CoverLoader()
{
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CoverLoader::request(const std::string& path)
{
    {
        std::lock_guard lock(m_lock);
        if (m_stopping || !m_asked.insert(path).second)
            return;
        m_waiting.push_back(path);
        if (m_waiting.size() > mostWaiting) {
            m_asked.erase(m_waiting.front());
            m_waiting.pop_front();
            m_letGo = true;
        }
    }
    m_wake.notify_one();
}

std::optional<CoverLoader::Cover> CoverLoader::recent(const std::string& path) const
{
    std::lock_guard lock(m_lock);
    auto found = m_recent.find(path);
    if (found == m_recent.end())
        return std::nullopt;
    return found->second;
}

void CoverLoader::run()
{
    // Covers are background work: the answers pages wait for, and the browser drawing them, come
    // first on a busy machine.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    for (;;) {
        std::string path;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping)
                return;
            path = std::move(m_waiting.back());
            m_waiting.pop_back();
        }
        // Read and kept where the store finds it; a book that cannot be read shows the blank cover.
        auto cover = FolioReader::getCoverImage(path);
        bool lookAgain = false;
        {
            std::lock_guard lock(m_lock);
            m_asked.erase(path);
            if (m_recent.insert_or_assign(path, cover).second)
                m_recentOrder.push_back(path);
            if (m_recentOrder.size() > mostRemembered) {
                m_recent.erase(m_recentOrder.front());
                m_recentOrder.pop_front();
            }
            // A row in view whose request was let go (a jump asked for many rows after it) would
            // wait for good: once all asked for is read, the rows in view are looked at again.
            lookAgain = m_waiting.empty() && std::exchange(m_letGo, false);
        }
        m_loop.post([ready = m_ready, path, cover = std::move(cover)] { ready(path, cover); });
        if (lookAgain && m_lookAgain)
            m_loop.post(m_lookAgain);
    }
}

}
