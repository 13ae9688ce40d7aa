// Realm::Configuration: where the reader's highlight database lives and how it may be opened. A
// plain value: copying it copies every setting, and the reader keeps its own copy.
#pragma once

#include "platform/foundation/URL.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Realm {

class Migration; // frameworks/realm/Migration.h

// Where a database would be kept in step with a server. The reader never syncs; a configuration
// that asks for it is refused when the database is opened.
struct SyncConfiguration {
    foundation::URL serverURL = foundation::URL::fileURLWithPath("/");
    std::string partition;

    bool operator==(const SyncConfiguration&) const = default;
};

// Built by name, e.g. { .fileURL = url, .inMemoryIdentifier = std::nullopt }; a member left out
// keeps its default. The default configuration has no file: the database is kept in memory under
// the identifier "default".
struct Configuration {
    // Runs when a database written with an older schema version is opened with a newer one.
    using MigrationBlock
        = std::function<void(Migration& migration, std::uint64_t oldSchemaVersion)>;
    // Asked on opening, with the file's total and used bytes: whether to compact it first.
    using ShouldCompactOnLaunch
        = std::function<bool(std::uint64_t totalBytes, std::uint64_t usedBytes)>;

    // The database file; absent when it lives in memory or no place for it was found. A file is
    // used even when an identifier in memory is given too.
    std::optional<foundation::URL> fileURL;
    std::optional<std::string> inMemoryIdentifier = "default";
    std::optional<SyncConfiguration> syncConfiguration;
    // 64 bytes when the file is to be encrypted.
    std::optional<std::string> encryptionKey;
    // The database is read and never written.
    bool readOnly = false;
    std::uint64_t schemaVersion = 0;
    std::optional<MigrationBlock> migrationBlock;
    // A file whose schema needs a migration that no block performs is deleted rather than refused.
    bool deleteRealmIfMigrationNeeded = false;
    std::optional<ShouldCompactOnLaunch> shouldCompactOnLaunch;
    // The kinds of object the database holds; absent: every kind the reader knows.
    std::optional<std::vector<std::string>> objectTypes;
};

}
