// Realm::Migration: what a migration block is given when a database written with an older schema
// version is opened with a newer one.
#pragma once

#include <cstdint>

namespace Realm {

class Migration {
public:
    Migration(std::uint64_t oldSchemaVersion, std::uint64_t newSchemaVersion)
        : m_oldSchemaVersion(oldSchemaVersion)
        , m_newSchemaVersion(newSchemaVersion)
    {
    }

    std::uint64_t oldSchemaVersion() const { return m_oldSchemaVersion; }
    std::uint64_t newSchemaVersion() const { return m_newSchemaVersion; }

private:
    std::uint64_t m_oldSchemaVersion;
    std::uint64_t m_newSchemaVersion;
};

}
