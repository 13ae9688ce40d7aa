// The catalog password: read from the secret store, made when it cannot be trusted.
#include "platform/host/opds/CatalogPassword.h"

#include "platform/desktop/SecretStore.h"
#include "platform/foundation/Md5.h"
#include "platform/host/server/AccessToken.h"

#include <algorithm>
#include <cctype>

namespace host {

namespace {
// A kept password shorter than a made one, or with other characters, was not made here.
bool wellMade(const std::string& password)
{
    return password.size() >= desktop::typableSecretLength
        && std::all_of(
            password.begin(), password.end(), [](unsigned char c) { return std::isalnum(c); });
}
}

CatalogPassword::CatalogPassword(desktop::SecretStoreFile& store)
    : m_store(store)
{
    const auto& contents = m_store.asStarted();
    auto* kept = desktop::findSecret(contents.entries, entryKind);
    if (kept && kept->fields.size() == 1 && wellMade(kept->fields.front())) {
        m_password = kept->fields.front();
        m_exposuresSeen = m_store.exposures().count;
        return;
    }
    bool first = contents.distrusted == "there was none";
    std::string why = first   ? "there was none yet"
        : contents.distrusted ? "the file of secrets could not be used: " + *contents.distrusted
                              : "the file of secrets held none";
    auto made = replace(desktop::makeTypableSecret());
    m_notice
        = std::string(first ? "A catalog password was made: " : "A new catalog password was made: ")
        + why
        + (made ? std::string(".")
                : "; it could not be kept (" + made.error().description()
                    + ") and lasts until Pagewyn stops.");
    // The file this password replaced is the exposure it answers.
    m_exposuresSeen = m_store.exposures().count;
}

bool CatalogPassword::matches(std::string_view presented)
{
    checkExposure();
    std::lock_guard lock(m_mutex);
    return tokensEqual(presented, m_password);
}

bool CatalogPassword::matchesSyncKey(std::string_view presented)
{
    checkExposure();
    std::string key;
    {
        std::lock_guard lock(m_mutex);
        key = foundation::Md5::hexOf(m_password);
    }
    std::string lowered(presented);
    for (auto& c : lowered)
        c = c >= 'A' && c <= 'F' ? char(c - 'A' + 'a') : c;
    return tokensEqual(lowered, key);
}

void CatalogPassword::checkExposure()
{
    m_store.checkExposure();
    auto exposures = m_store.exposures();
    {
        std::lock_guard lock(m_mutex);
        if (exposures.count == m_exposuresSeen)
            return;
        m_exposuresSeen = exposures.count;
    }
    // Written anew, the file is private again; the password it showed opens nothing any more.
    auto made = replace(desktop::makeTypableSecret());
    std::lock_guard lock(m_mutex);
    m_exposuresSeen = std::max(m_exposuresSeen, m_store.exposures().count);
    m_notice = "A new catalog password was made: the file of secrets "
        + exposures.lastReason.substr(3)
        + (made ? std::string(".")
                : "; it could not be kept (" + made.error().description()
                    + ") and lasts until Pagewyn stops.");
}

std::string CatalogPassword::current() const
{
    std::lock_guard lock(m_mutex);
    return m_password;
}

std::optional<std::string> CatalogPassword::notice() const
{
    std::lock_guard lock(m_mutex);
    return m_notice;
}

foundation::Result<void> CatalogPassword::renew()
{
    auto renewed = replace(desktop::makeTypableSecret());
    std::lock_guard lock(m_mutex);
    // Written anew, the file is private and holds only the new password.
    m_exposuresSeen = m_store.exposures().count;
    m_notice = renewed ? std::nullopt
                       : std::optional<std::string>("The new catalog password could not be kept: "
                           + renewed.error().description() + "; it lasts until Pagewyn stops.");
    return renewed;
}

foundation::Result<void> CatalogPassword::replace(std::string password)
{
    std::vector<desktop::SecretEntry> entries { { entryKind, { password } } };
    {
        std::lock_guard lock(m_mutex);
        m_password = std::move(password);
    }
    return m_store.replaceKind(entryKind, std::move(entries));
}

}
