// The secret store's read-modify-write, one at a time, and the exposures it finds.
#include "platform/desktop/SecretStoreFile.h"

namespace desktop {

SecretStoreFile::SecretStoreFile(std::string path)
    : m_path(std::move(path))
    , m_started(readSecretStore(m_path))
    , m_known(m_started.entries)
{
}

foundation::Result<void> SecretStoreFile::replaceKind(
    const std::string& kind, std::vector<SecretEntry> entries)
{
    std::lock_guard lock(m_mutex);
    auto now = readSecretStore(m_path);
    if (auto exposure = secretStoreExposure(m_path)) {
        ++m_exposures.count;
        m_exposures.lastReason = *exposure;
    }
    auto kept = now.distrusted ? m_known : std::move(now.entries);
    std::erase_if(kept, [&](const SecretEntry& entry) { return entry.kind == kind; });
    for (auto& entry : entries) {
        entry.kind = kind;
        kept.push_back(std::move(entry));
    }
    m_known = kept;
    return writeSecretStore(m_path, kept);
}

void SecretStoreFile::checkExposure()
{
    auto exposure = secretStoreExposure(m_path);
    if (!exposure)
        return;
    std::lock_guard lock(m_mutex);
    ++m_exposures.count;
    m_exposures.lastReason = *exposure;
}

SecretStoreFile::Exposures SecretStoreFile::exposures() const
{
    std::lock_guard lock(m_mutex);
    return m_exposures;
}

}
