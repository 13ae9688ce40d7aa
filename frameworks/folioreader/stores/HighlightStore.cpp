// The highlight database as a small JSON document: read whole on opening, written whole on each
// change through a temporary file in the same folder and a rename (StoreFile).
#include "frameworks/folioreader/stores/HighlightStore.h"

#include "frameworks/folioreader/stores/StoreFile.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/writeFileAtomically.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace folioreader {

using foundation::Error;
using foundation::Result;

namespace {

constexpr const char* databaseKind = "pagewyn highlights";
constexpr std::uint64_t largestFile = 64ull * 1024 * 1024;

// Stores kept in memory, by their identifier, for the life of the process. Main thread only.
std::map<std::string, std::vector<Highlight>>& memoryStores()
{
    static std::map<std::string, std::vector<Highlight>> stores;
    return stores;
}

nlohmann::json toJson(const Highlight& highlight)
{
    return { { "id", highlight.id }, { "book", highlight.book }, { "document", highlight.document },
        { "start", highlight.start }, { "end", highlight.end }, { "text", highlight.text },
        { "created", highlight.created.timeIntervalSince1970() } };
}

std::optional<Highlight> fromJson(const nlohmann::json& json)
{
    if (!json.is_object())
        return std::nullopt;
    Highlight highlight;
    for (auto [key, field] : { std::pair { "id", &highlight.id }, { "book", &highlight.book },
             { "document", &highlight.document }, { "text", &highlight.text } }) {
        auto found = json.find(key);
        if (found == json.end() || !found->is_string())
            return std::nullopt;
        *field = found->get<std::string>();
    }
    auto start = json.find("start"), end = json.find("end"), created = json.find("created");
    if (start == json.end() || !start->is_number_unsigned() || end == json.end()
        || !end->is_number_unsigned() || created == json.end() || !created->is_number())
        return std::nullopt;
    highlight.start = start->get<std::uint64_t>();
    highlight.end = end->get<std::uint64_t>();
    highlight.created = foundation::Date::fromTimeIntervalSince1970(created->get<double>());
    return highlight;
}

std::string newIdentifier()
{
    static std::atomic<std::uint64_t> counter { 0 };
    auto nanoseconds = foundation::Date::now().timePoint().time_since_epoch().count();
    return std::to_string(nanoseconds) + "-" + std::to_string(++counter);
}

}

Result<std::unique_ptr<HighlightStore>> HighlightStore::open(
    const Realm::Configuration& configuration)
{
    if (configuration.syncConfiguration)
        return Error("highlights are kept on this computer only, never synced");
    if (configuration.encryptionKey)
        return Error("an encrypted highlight database cannot be opened");
    if (auto types = configuration.objectTypes) {
        if (std::find(types->begin(), types->end(), objectType) == types->end())
            return Error("the database is not meant to keep highlights");
    }

    std::unique_ptr<HighlightStore> store(new HighlightStore());
    store->m_readOnly = configuration.readOnly;
    store->m_schemaVersion = configuration.schemaVersion;
    if (!configuration.fileURL) {
        if (!configuration.inMemoryIdentifier)
            return Error("there is no place to keep highlights");
        store->m_memoryIdentifier = *configuration.inMemoryIdentifier;
        store->m_highlights = memoryStores()[store->m_memoryIdentifier];
        return store;
    }

    store->m_path = configuration.fileURL->path();
    auto contents = TRY(readStoreFile(store->m_path, largestFile));
    if (!contents.exists)
        return store;

    auto document = nlohmann::json::parse(contents.bytes, nullptr, false);
    auto kind = document.is_object() ? document.find("database") : document.end();
    auto version = document.is_object() ? document.find("schemaVersion") : document.end();
    auto list = document.is_object() ? document.find("highlights") : document.end();
    if (kind == document.end() || *kind != databaseKind || version == document.end()
        || !version->is_number_unsigned() || list == document.end() || !list->is_array())
        return Error(store->m_path + " is not a highlight database");
    for (const auto& entry : *list) {
        auto highlight = fromJson(entry);
        if (!highlight)
            return Error(store->m_path + " holds a highlight that cannot be read");
        store->m_highlights.push_back(std::move(*highlight));
    }

    std::uint64_t fileVersion = version->get<std::uint64_t>();
    bool rewrite = false;
    if (fileVersion > configuration.schemaVersion)
        return Error(store->m_path + " was written by a newer version of the reader");
    if (fileVersion < configuration.schemaVersion) {
        if (configuration.migrationBlock) {
            Realm::Migration migration(fileVersion, configuration.schemaVersion);
            (*configuration.migrationBlock)(migration, fileVersion);
        } else if (configuration.deleteRealmIfMigrationNeeded && !store->m_readOnly) {
            store->m_highlights.clear();
        } else {
            return Error(store->m_path + " needs a migration to schema version "
                + std::to_string(configuration.schemaVersion));
        }
        rewrite = true;
    }
    if (auto compact = configuration.shouldCompactOnLaunch) {
        std::uint64_t used = nlohmann::json(*list).dump().size();
        rewrite = rewrite || (*compact)(contents.bytes.size(), used);
    }
    if (rewrite && !store->m_readOnly) {
        TRY(store->save(store->m_highlights));
    }
    return store;
}

std::vector<Highlight> HighlightStore::highlightsOf(const std::string& book) const
{
    std::vector<Highlight> found;
    for (const auto& highlight : m_highlights) {
        if (highlight.book == book)
            found.push_back(highlight);
    }
    return found;
}

Result<Highlight> HighlightStore::add(Highlight highlight)
{
    if (m_readOnly)
        return Error("the highlight database is read-only");
    if (highlight.book.empty() || highlight.document.empty() || highlight.end <= highlight.start)
        return Error("a highlight covers some text of a document of a book");
    if (m_highlights.size() >= maximumHighlights)
        return Error("the highlight database is full");
    if (highlight.text.size() > maximumTextBytes) {
        std::size_t cut = maximumTextBytes;
        // Cut before a UTF-8 continuation byte never, so the kept text stays valid.
        while (cut > 0 && (static_cast<unsigned char>(highlight.text[cut]) & 0xC0) == 0x80)
            --cut;
        highlight.text.resize(cut);
    }
    highlight.id = newIdentifier();
    highlight.created = foundation::Date::now();
    auto changed = m_highlights;
    changed.push_back(highlight);
    TRY(save(changed));
    m_highlights = std::move(changed);
    return highlight;
}

Result<void> HighlightStore::remove(const std::string& book, const std::string& id)
{
    if (m_readOnly)
        return Error("the highlight database is read-only");
    auto changed = m_highlights;
    auto found = std::find_if(changed.begin(), changed.end(),
        [&](const Highlight& h) { return h.book == book && h.id == id; });
    if (found == changed.end())
        return Error("the book has no highlight " + id);
    changed.erase(found);
    TRY(save(changed));
    m_highlights = std::move(changed);
    return {};
}

Result<void> HighlightStore::save(const std::vector<Highlight>& highlights)
{
    if (m_path.empty()) {
        memoryStores()[m_memoryIdentifier] = highlights;
        return {};
    }
    nlohmann::json list = nlohmann::json::array();
    for (const auto& highlight : highlights)
        list.push_back(toJson(highlight));
    nlohmann::json document = { { "database", databaseKind }, { "schemaVersion", m_schemaVersion },
        { "objectTypes", { objectType } }, { "highlights", std::move(list) } };
    return foundation::writeFileAtomically(m_path,
        document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), storeFileMode);
}

}
