// One thread, at the lowest priority, going over the folders scans ask for, one after the other.
#include "frameworks/folioreader/metadata/DescriptionPass.h"

#include "frameworks/folioreader/metadata/StoredDescription.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace folioreader {

namespace {

std::atomic<DescriptionPass*> runningPass { nullptr };

}

DescriptionPass::DescriptionPass()
    : m_thread([this] { run(); })
{
    runningPass.store(this);
}

DescriptionPass::~DescriptionPass()
{
    DescriptionPass* self = this;
    runningPass.compare_exchange_strong(self, nullptr);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

DescriptionPass* DescriptionPass::running()
{
    return runningPass.load();
}

void DescriptionPass::request(std::shared_ptr<MetadataStore> store, const std::string& folder, bool entriesWritten)
{
    if (!store)
        return;
    {
        std::lock_guard lock(m_mutex);
        Folder asked { std::move(store), folder };
        if (m_stopping || (!entriesWritten && m_passedOver.count(asked))
            || std::find(m_waiting.begin(), m_waiting.end(), asked) != m_waiting.end())
            return;
        m_waiting.push_back(std::move(asked));
    }
    m_wake.notify_one();
}

void DescriptionPass::run()
{
    // Nothing waits for descriptions: scans, pages and covers come first on a busy machine.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
    for (;;) {
        Folder folder;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
            if (m_stopping)
                return;
            folder = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        keepMissingDescriptions(folder.first, folder.second, [this] { return m_stopping.load(); });
        std::lock_guard lock(m_mutex);
        if (!m_stopping)
            m_passedOver.insert(std::move(folder));
    }
}

}
