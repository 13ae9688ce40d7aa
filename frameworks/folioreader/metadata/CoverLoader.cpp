// One thread reading the covers rows wait for, the latest asked first.
#include "frameworks/folioreader/metadata/CoverLoader.h"

#include "frameworks/folioreader/FolioReader.h"

#include <utility>

namespace folioreader {

// Covers come after the answers pages wait for, before descriptions and the text index.
constexpr int coverNiceness = 10;

CoverLoader::CoverLoader(ui::MainLoop& loop, Ready ready, std::function<void()> lookAgain)
    : m_loop(loop)
    , m_ready(std::move(ready))
    , m_lookAgain(std::move(lookAgain))
    , m_thread(coverNiceness, [this] { return next(); })
{
}

CoverLoader::~CoverLoader() = default;

void CoverLoader::request(const std::string& path)
{
    m_thread.post([&] {
        if (!m_asked.insert(path).second)
            return;
        m_waiting.push_back(path);
        if (m_waiting.size() > mostWaiting) {
            m_asked.erase(m_waiting.front());
            m_waiting.pop_front();
        }
    });
}

std::optional<CoverLoader::Cover> CoverLoader::recent(const std::string& path) const
{
    std::lock_guard lock(m_thread.mutex());
    auto found = m_recent.find(path);
    if (found == m_recent.end())
        return std::nullopt;
    return found->second;
}

foundation::BackgroundThread::Next CoverLoader::next()
{
    if (m_waiting.empty())
        return {};
    std::string path = std::move(m_waiting.back());
    m_waiting.pop_back();
    return { [this, path = std::move(path)] { read(path); } };
}

void CoverLoader::read(const std::string& path)
{
    // Read and kept where the store finds it; a book that cannot be read shows the blank cover.
    auto cover = FolioReader::getCoverImage(path);
    bool lookAgain = false;
    {
        std::lock_guard lock(m_thread.mutex());
        m_asked.erase(path);
        if (m_recent.insert_or_assign(path, cover).second)
            m_recentOrder.push_back(path);
        if (m_recentOrder.size() > mostRemembered) {
            m_recent.erase(m_recentOrder.front());
            m_recentOrder.pop_front();
        }
        // A row in view whose request was let go (a jump asked for many rows after it), or that
        // missed its cover for any other reason, would wait for good: each time all asked for is
        // read, the rows in view are looked at again.
        lookAgain = m_waiting.empty();
    }
    m_loop.post([ready = m_ready, path, cover = std::move(cover)] { ready(path, cover); });
    if (lookAgain && m_lookAgain)
        m_loop.post(m_lookAgain);
}

}
