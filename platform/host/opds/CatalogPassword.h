// CatalogPassword: the lasting password reading apps use for the catalog, kept in the secret
// store so a device's saved catalog survives restarts (the launch's token does not). Made afresh
// when the store holds none it can trust, and when the store is found open to other users while
// Pagewyn runs; never absent, so the catalog is never open.
#pragma once

#include "platform/desktop/SecretStoreFile.h"
#include "platform/foundation/Result.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace host {

class CatalogPassword {
public:
    // Reads the password kept in the store, or makes one and keeps it there. The store outlives
    // this.
    explicit CatalogPassword(desktop::SecretStoreFile& store);

    // Compared in time that depends only on the lengths, after checkExposure.
    bool matches(std::string_view presented);
    // Whether a progress sync key (the hex MD5 of a password, either case) is this password's.
    bool matchesSyncKey(std::string_view presented);
    std::string current() const;
    // A new password, kept at once; the old one stops working here and now, kept or not.
    foundation::Result<void> renew();
    // Looks at the store's mode: a store found open to other users since the password was last
    // made has shown it to them, so a new one is made, and the notice says why.
    void checkExposure();
    // Why the password was made at start, or could not be kept, for the settings page; nothing
    // when the kept one was used.
    std::optional<std::string> notice() const;

    static constexpr const char* entryKind = "catalog-password";

private:
    foundation::Result<void> replace(std::string password);

    desktop::SecretStoreFile& m_store;
    mutable std::mutex m_mutex;
    std::string m_password;
    std::optional<std::string> m_notice;
    // The store's exposures this password already answered.
    std::uint64_t m_exposuresSeen = 0;
};

}
