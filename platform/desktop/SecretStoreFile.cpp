// The secret store's read-modify-write, one at a time.
#include "platform/desktop/SecretStoreFile.h"

namespace desktop {

SecretStoreFile::SecretStoreFile(std::string path)
    : m_path(std::move(path))
    , m_started(readSecretStore(m_path))
    , m_known(m_started.entries)
{
}

foundation::Result<void> SecretStoreFile::replaceKind(const std::string& kind, std::vector<SecretEntry> entries)
{
    std::lock_guard lock(m_mutex);
    auto now = readSecretStore(m_path);
    auto kept = now.distrusted ? m_known : std::move(now.entries);
    std::erase_if(kept, [&](const SecretEntry& entry) { return entry.kind == kind; });
    for (auto& entry : entries) {
        entry.kind = kind;
        kept.push_back(std::move(entry));
    }
    m_known = kept;
    return writeSecretStore(m_path, kept);
}

}
