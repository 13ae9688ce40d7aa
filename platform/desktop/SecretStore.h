// The secret store: the one file of this user's lasting secrets for Pagewyn (the catalog's
// password, the digests of the paired devices' keys; any later kind of secret is one more kind
// of entry). A text file of mode 0600 in a folder only this user can enter, replaced whole and
// atomically. A file that is missing, empty, unreadable, cut short, not this user's or readable
// by others is not trusted: its entries are not used, and the reason is told, so a caller makes
// new secrets instead of opening a door.
#pragma once

#include "platform/foundation/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace desktop {

// One line of the store: its kind ("catalog-password") and its fields, in the kind's order.
struct SecretEntry {
    std::string kind;
    std::vector<std::string> fields;
    bool operator==(const SecretEntry&) const = default;
};

struct SecretStoreContents {
    std::vector<SecretEntry> entries;
    // Why the file's entries were not used: "there was none", "it was readable by other users"…
    // Nothing when they were.
    std::optional<std::string> distrusted;
};

// pagewynConfigFolder()/secrets
std::string secretStorePath();

SecretStoreContents readSecretStore(const std::string& path);
// Why the file is open to others now ("it was readable by other users", "it belonged to another
// user"), from its status alone; nothing when it is private or missing.
std::optional<std::string> secretStoreExposure(const std::string& path);
// Replaces the file with the entries (kinds and fields may hold any bytes), its folder made
// private first.
foundation::Result<void> writeSecretStore(
    const std::string& path, const std::vector<SecretEntry>& entries);

// The first entry of the kind, or nothing.
const SecretEntry* findSecret(const std::vector<SecretEntry>& entries, const std::string& kind);

inline constexpr std::size_t typableSecretLength = 26;
// A secret from the system's random source, as lower-case letters and digits without look-alikes
// (no 0, 1, l or o), easy to type on a reader's keyboard: 5 bits a character, so at least 130
// bits at the full length. Shorter ones serve only where a secret lives for minutes.
std::string makeTypableSecret(std::size_t length = typableSecretLength);

}
