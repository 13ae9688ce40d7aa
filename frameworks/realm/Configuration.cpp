// Realm::Configuration's initialisers.
#include "frameworks/realm/Configuration.h"

namespace Realm {

Configuration::Configuration(std::optional<foundation::URL> fileURL, std::optional<std::string> inMemoryIdentifier,
    std::optional<SyncConfiguration> syncConfiguration, std::optional<std::string> encryptionKey, bool readOnly,
    std::uint64_t schemaVersion, std::optional<MigrationBlock> migrationBlock, bool deleteRealmIfMigrationNeeded,
    std::optional<ShouldCompactOnLaunch> shouldCompactOnLaunch, std::optional<std::vector<std::string>> objectTypes)
    : m_fileURL(std::move(fileURL))
    , m_inMemoryIdentifier(std::move(inMemoryIdentifier))
    , m_syncConfiguration(std::move(syncConfiguration))
    , m_encryptionKey(std::move(encryptionKey))
    , m_readOnly(readOnly)
    , m_schemaVersion(schemaVersion)
    , m_migrationBlock(std::move(migrationBlock))
    , m_deleteRealmIfMigrationNeeded(deleteRealmIfMigrationNeeded)
    , m_shouldCompactOnLaunch(std::move(shouldCompactOnLaunch))
    , m_objectTypes(std::move(objectTypes))
{
}

Configuration::Configuration()
    : m_inMemoryIdentifier("default")
{
}

}
