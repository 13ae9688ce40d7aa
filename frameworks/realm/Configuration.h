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

class Configuration {
public:
    // Runs when a database written with an older schema version is opened with a newer one.
    using MigrationBlock = std::function<void(Migration& migration, std::uint64_t oldSchemaVersion)>;
    // Asked on opening, with the file's total and used bytes: whether to compact it first.
    using ShouldCompactOnLaunch = std::function<bool(std::uint64_t totalBytes, std::uint64_t usedBytes)>;

    // The full initialiser; every argument is kept as given.
    Configuration(std::optional<foundation::URL> fileURL, std::optional<std::string> inMemoryIdentifier,
        std::optional<SyncConfiguration> syncConfiguration, std::optional<std::string> encryptionKey, bool readOnly,
        std::uint64_t schemaVersion, std::optional<MigrationBlock> migrationBlock, bool deleteRealmIfMigrationNeeded,
        std::optional<ShouldCompactOnLaunch> shouldCompactOnLaunch, std::optional<std::vector<std::string>> objectTypes);
    // No file: the database is kept in memory under an identifier of its own.
    Configuration();

    // The database file; absent when it lives in memory or no place for it was found.
    const std::optional<foundation::URL>& fileURL() const { return m_fileURL; }
    const std::optional<std::string>& inMemoryIdentifier() const { return m_inMemoryIdentifier; }
    const std::optional<SyncConfiguration>& syncConfiguration() const { return m_syncConfiguration; }
    // 64 bytes when the file is to be encrypted.
    const std::optional<std::string>& encryptionKey() const { return m_encryptionKey; }
    // The database is read and never written.
    bool readOnly() const { return m_readOnly; }
    std::uint64_t schemaVersion() const { return m_schemaVersion; }
    const std::optional<MigrationBlock>& migrationBlock() const { return m_migrationBlock; }
    // A file whose schema needs a migration that no block performs is deleted rather than refused.
    bool deleteRealmIfMigrationNeeded() const { return m_deleteRealmIfMigrationNeeded; }
    const std::optional<ShouldCompactOnLaunch>& shouldCompactOnLaunch() const { return m_shouldCompactOnLaunch; }
    // The kinds of object the database holds; absent: every kind the reader knows.
    const std::optional<std::vector<std::string>>& objectTypes() const { return m_objectTypes; }

    void setFileURL(std::optional<foundation::URL> url) { m_fileURL = std::move(url); }
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    void setSchemaVersion(std::uint64_t version) { m_schemaVersion = version; }

private:
    std::optional<foundation::URL> m_fileURL;
    std::optional<std::string> m_inMemoryIdentifier;
    std::optional<SyncConfiguration> m_syncConfiguration;
    std::optional<std::string> m_encryptionKey;
    bool m_readOnly = false;
    std::uint64_t m_schemaVersion = 0;
    std::optional<MigrationBlock> m_migrationBlock;
    bool m_deleteRealmIfMigrationNeeded = false;
    std::optional<ShouldCompactOnLaunch> m_shouldCompactOnLaunch;
    std::optional<std::vector<std::string>> m_objectTypes;
};

}
