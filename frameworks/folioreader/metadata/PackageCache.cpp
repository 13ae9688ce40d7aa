// PackageCache: a small list under a mutex; with a handful of entries a linear search is fastest.
#include "frameworks/folioreader/metadata/PackageCache.h"

#include <algorithm>

namespace folioreader {

std::optional<PackageCache::Entry> PackageCache::find(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (it->path == path)
            return *it;
    }
    return std::nullopt;
}

void PackageCache::store(Entry entry)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_entries, [&](const Entry& existing) { return existing.path == entry.path; });
    m_entries.push_back(std::move(entry));
    if (m_entries.size() > m_capacity)
        m_entries.erase(m_entries.begin(), m_entries.end() - std::ptrdiff_t(m_capacity));
}

void PackageCache::clear()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

}
