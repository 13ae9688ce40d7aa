// One thread, at the lowest priority, going over the folders scans ask for, one after the other.
#include "frameworks/folioreader/metadata/DescriptionPass.h"

#include "frameworks/folioreader/metadata/StoredDescription.h"

#include <algorithm>

namespace folioreader {

// Nothing waits for descriptions: scans, pages and covers come first on a busy machine.
constexpr int descriptionNiceness = 19;

DescriptionPass::DescriptionPass()
    : m_thread(descriptionNiceness, [this] { return next(); })
{
}

DescriptionPass::~DescriptionPass() = default;

void DescriptionPass::request(
    std::shared_ptr<MetadataStore> store, const std::string& folder, bool entriesWritten)
{
    if (!store)
        return;
    m_thread.post([&] {
        Folder asked { std::move(store), folder };
        if ((!entriesWritten && m_passedOver.count(asked))
            || std::find(m_waiting.begin(), m_waiting.end(), asked) != m_waiting.end())
            return;
        m_waiting.push_back(std::move(asked));
    });
}

foundation::BackgroundThread::Next DescriptionPass::next()
{
    if (m_waiting.empty())
        return {};
    Folder folder = std::move(m_waiting.front());
    m_waiting.pop_front();
    return { [this, folder = std::move(folder)] { pass(folder); } };
}

void DescriptionPass::pass(const Folder& folder)
{
    keepMissingDescriptions(folder.first, folder.second, [this] { return m_thread.stopping(); });
    std::lock_guard lock(m_thread.mutex());
    if (!m_thread.stopping())
        m_passedOver.insert(folder);
}

}
