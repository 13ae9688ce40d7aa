// CatalogPassword: the lasting password reading apps use for the catalog, kept in the secret
// store so a device's saved catalog survives restarts (the launch's token does not). Made afresh
// when the store holds none it can trust; never absent, so the catalog is never open.
#pragma once

#include "platform/desktop/SecretStoreFile.h"
#include "platform/foundation/Result.h"

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

    // Compared in time that depends only on the lengths.
    bool matches(std::string_view presented) const;
    std::string current() const;
    // A new password, kept at once; the old one stops working here and now, kept or not.
    foundation::Result<void> renew();
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
};

}
