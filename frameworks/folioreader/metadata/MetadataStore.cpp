// MetadataStore: one SQLite file in WAL mode, so that two Pagewyn processes read it side by side
// and take turns to write; every row carries a checksum, so damaged bytes read as a miss.
#include "frameworks/folioreader/metadata/MetadataStore.h"

#include "frameworks/folioreader/metadata/SqliteDatabase.h"
#include "platform/foundation/Digest.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <sqlite3.h>

namespace folioreader {

namespace {

using sqlite::execute;
using sqlite::isDamage;
using sqlite::Statement;
using sqlite::WhenBusy;

// Raised whenever the table changes shape; a file of another version is emptied and made anew.
constexpr int schemaVersion = 2;
// Another process's transaction is a scan's commit or a clear: short. A lock held longer than this
// is treated as a store that cannot be used now.
constexpr int busyMilliseconds = 1000;

const char* const schema
    = "CREATE TABLE book(folder BLOB NOT NULL, name BLOB NOT NULL, stamp BLOB NOT NULL, package "
      "BLOB NOT NULL,"
      " title BLOB NOT NULL, author BLOB NOT NULL, identifier BLOB NOT NULL, language BLOB NOT "
      "NULL,"
      " checksum INTEGER NOT NULL, PRIMARY KEY(folder, name)) WITHOUT ROWID;"
      // Descriptions stand apart, so the book table a scan reads whole stays small.
      " CREATE TABLE description(folder BLOB NOT NULL, name BLOB NOT NULL, stamp BLOB NOT NULL, "
      "package BLOB NOT NULL,"
      " text BLOB NOT NULL, checksum INTEGER NOT NULL, PRIMARY KEY(folder, name)) WITHOUT ROWID;";

// Covers came after the book table: a store of the same version without them gains the table.
const char* const coverSchema
    = "CREATE TABLE IF NOT EXISTS cover(folder BLOB NOT NULL, name BLOB NOT NULL, stamp BLOB NOT "
      "NULL,"
      " package BLOB NOT NULL, entry BLOB NOT NULL, type BLOB NOT NULL, bytes BLOB NOT NULL, "
      "checksum INTEGER NOT NULL,"
      " PRIMARY KEY(folder, name)) WITHOUT ROWID;"
      // The digests reading devices name books by came later still.
      " CREATE TABLE IF NOT EXISTS digest(folder BLOB NOT NULL, name BLOB NOT NULL, version BLOB "
      "NOT NULL,"
      " digest BLOB NOT NULL, checksum INTEGER NOT NULL, PRIMARY KEY(folder, name)) WITHOUT ROWID;"
      // A device names a book by its digest: found without reading the whole table.
      " CREATE INDEX IF NOT EXISTS digest_value ON digest(folder, digest);";

// A digest of the fields, each preceded by its length, so that no two rows share a text.
std::int64_t checksumOf(std::initializer_list<std::string_view> fields)
{
    foundation::Digest digest;
    for (std::string_view field : fields)
        digest.addLengthOf(field).add(field);
    return static_cast<std::int64_t>(digest.value());
}

std::int64_t checksumOf(const std::string& folder, const MetadataStore::Entry& entry)
{
    return checksumOf({ folder, entry.name, entry.stamp, entry.packageName, entry.title,
        entry.author, entry.identifier, entry.language });
}

std::int64_t checksumOf(const std::string& folder, const MetadataStore::Description& description)
{
    return checksumOf(
        { folder, description.name, description.stamp, description.packageName, description.text });
}

std::int64_t checksumOf(
    const std::string& folder, const std::string& name, const MetadataStore::Cover& cover)
{
    return checksumOf({ folder, name, cover.stamp, cover.packageName, cover.entryName,
        cover.mimeType, cover.bytes });
}

bool writeInTransaction(sqlite3* database, WhenBusy whenBusy, const std::function<bool()>& write)
{
    return sqlite::writeInTransaction(database, whenBusy, busyMilliseconds, write);
}

// WAL, and the table of this version; the first error's code otherwise.
int prepare(sqlite3* database)
{
    sqlite3_busy_timeout(database, busyMilliseconds);
    if (int code = execute(database, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        code != SQLITE_OK)
        return code;
    int code = sqlite::makeTables(database, schemaVersion,
        std::string("DROP TABLE IF EXISTS book; DROP TABLE IF EXISTS description; ") + schema
            + " DROP TABLE IF EXISTS cover; DROP TABLE IF EXISTS digest;");
    // The tables added later are made in a file of this version that lacks them.
    return code == SQLITE_OK ? execute(database, coverSchema) : code;
}

}

std::shared_ptr<MetadataStore> MetadataStore::open(const std::string& path)
{
    sqlite3* database = sqlite::connect(path, prepare);
    if (!database)
        return nullptr;
    return std::shared_ptr<MetadataStore>(new MetadataStore(path, database));
}

std::string MetadataStore::defaultPath()
{
    std::string folder;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        folder = cache;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = std::string(home) + "/.cache";
    else
        folder = "/tmp";
    return folder + "/pagewyn/metadata.sqlite3";
}

MetadataStore::~MetadataStore()
{
    disconnect();
}

sqlite3_stmt* MetadataStore::kept(const char* sql)
{
    auto [place, added] = m_kept.try_emplace(sql, nullptr);
    if (added
        && sqlite3_prepare_v3(
               m_database, sql, -1, SQLITE_PREPARE_PERSISTENT, &place->second, nullptr)
            != SQLITE_OK) {
        sqlite3_finalize(place->second);
        m_kept.erase(place);
        return nullptr;
    }
    return place->second;
}

void MetadataStore::disconnect()
{
    for (auto& [sql, statement] : m_kept)
        sqlite3_finalize(statement);
    m_kept.clear();
    sqlite3_close_v2(m_database);
    m_database = nullptr;
}

void MetadataStore::forEachEntry(
    const std::string& folder, const std::function<void(Entry&&)>& take)
{
    forEachStoredRow(folder, [&](const StoredRow& row) {
        if (checksumHolds(folder, row))
            take(Entry { std::string(row.name), std::string(row.stamp),
                std::string(row.packageName), std::string(row.title), std::string(row.author),
                std::string(row.identifier), std::string(row.language) });
    });
}

void MetadataStore::forEachStoredRow(
    const std::string& folder, const std::function<void(const StoredRow&)>& take)
{
    forEachStoredRow(folder, std::string(), nullptr, take);
}

void MetadataStore::forEachStoredRow(const std::string& folder, const std::string& from,
    const std::string* before, const std::function<void(const StoredRow&)>& take)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return;
    bool damaged = false;
    {
        // Every name is a blob, and no blob is less than the empty one.
        Statement select(kept(before ? "SELECT name, stamp, package, title, author, identifier, "
                                       "language, checksum FROM book"
                                       " WHERE folder = ? AND name >= ? AND name < ? ORDER BY name"
                                     : "SELECT name, stamp, package, title, author, identifier, "
                                       "language, checksum FROM book"
                                       " WHERE folder = ? AND name >= ? ORDER BY name"));
        if (select.code() == SQLITE_OK) {
            select.bind(1, folder);
            select.bind(2, from);
            if (before)
                select.bind(3, *before);
            while (select.step() == SQLITE_ROW)
                take(StoredRow { select.view(0), select.view(1), select.view(2), select.view(3),
                    select.view(4), select.view(5), select.view(6), select.integer(7) });
        }
        damaged = isDamage(select.code());
    }
    if (damaged) {
        // The rows handed out before the damage showed are judged by their checksums; the store is
        // made anew for this run's commit.
        disconnect();
        sqlite::removeFiles(m_path);
        m_database = sqlite::connect(m_path, prepare);
    }
}

bool MetadataStore::checksumHolds(std::string_view folder, const StoredRow& row)
{
    return checksumOf({ folder, row.name, row.stamp, row.packageName, row.title, row.author,
               row.identifier, row.language })
        == row.checksum;
}

namespace {

// Reads one library item's row (the query binds folder, then name): the row goes to read, which
// checks it; no row, or a query that cannot run, gives nothing.
template <typename Read>
auto selectItem(sqlite3_stmt* kept, const std::string& folder, const std::string& name, Read read)
    -> decltype(read(std::declval<Statement&>()))
{
    Statement select(kept);
    if (select.code() != SQLITE_OK)
        return std::nullopt;
    select.bind(1, folder);
    select.bind(2, name);
    if (select.step() != SQLITE_ROW)
        return std::nullopt;
    return read(select);
}

}

std::unordered_map<std::string, MetadataStore::Entry> MetadataStore::entriesOf(
    const std::string& folder)
{
    std::unordered_map<std::string, Entry> entries;
    forEachEntry(folder, [&](Entry&& entry) { entries.emplace(entry.name, std::move(entry)); });
    return entries;
}

std::optional<MetadataStore::Entry> MetadataStore::entryOf(
    const std::string& folder, const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return std::nullopt;
    return selectItem(kept("SELECT stamp, package, title, author, identifier, language, checksum "
                           "FROM book WHERE folder = ? AND name = ?"),
        folder, name, [&](Statement& select) -> std::optional<Entry> {
            Entry entry { name, select.bytes(0), select.bytes(1), select.bytes(2), select.bytes(3),
                select.bytes(4), select.bytes(5) };
            if (checksumOf(folder, entry) != select.integer(6))
                return std::nullopt;
            return entry;
        });
}

bool MetadataStore::commit(const std::string& folder, const std::vector<Entry>& stored,
    const std::vector<std::string>& dropped)
{
    std::vector<const Entry*> byName;
    byName.reserve(stored.size());
    for (const Entry& entry : stored)
        byName.push_back(&entry);
    std::sort(byName.begin(), byName.end(),
        [](const Entry* a, const Entry* b) { return a->name < b->name; });
    std::size_t next = 0;
    return commitInOrder(
        folder,
        [&]() -> std::optional<Entry> {
            if (next == byName.size())
                return std::nullopt;
            return *byName[next++];
        },
        dropped);
}

bool MetadataStore::commitInOrder(const std::string& folder,
    const std::function<std::optional<Entry>()>& next, const std::vector<std::string>& dropped)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return false;
    // In the table's key order: each page is filled once, where entries in the folder's listing
    // order would land all over the table, which a large first scan writes and reads back many
    // times over once it outgrows SQLite's page cache.
    auto entry = next();
    if (!entry && dropped.empty())
        return false;
    return writeInTransaction(m_database, WhenBusy::wait, [&] {
        Statement insert(
            m_database, "INSERT OR REPLACE INTO book VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        bool written = insert.code() == SQLITE_OK;
        for (; written && entry; entry = next()) {
            insert.bind(1, folder);
            insert.bind(2, entry->name);
            insert.bind(3, entry->stamp);
            insert.bind(4, entry->packageName);
            insert.bind(5, entry->title);
            insert.bind(6, entry->author);
            insert.bind(7, entry->identifier);
            insert.bind(8, entry->language);
            insert.bind(9, checksumOf(folder, *entry));
            written = insert.step() == SQLITE_DONE;
            insert.reset();
        }
        for (const char* sql : { "DELETE FROM book WHERE folder = ? AND name = ?",
                 "DELETE FROM cover WHERE folder = ? AND name = ?",
                 "DELETE FROM description WHERE folder = ? AND name = ?" }) {
            Statement remove(m_database, sql);
            written = written && remove.code() == SQLITE_OK;
            for (auto it = dropped.begin(); written && it != dropped.end(); ++it) {
                remove.bind(1, folder);
                remove.bind(2, *it);
                written = remove.step() == SQLITE_DONE;
                remove.reset();
            }
        }
        return written;
    });
}

std::optional<MetadataStore::Cover> MetadataStore::coverOf(
    const std::string& folder, const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return std::nullopt;
    return selectItem(kept("SELECT stamp, package, entry, type, bytes, checksum FROM cover WHERE "
                           "folder = ? AND name = ?"),
        folder, name, [&](Statement& select) -> std::optional<Cover> {
            Cover cover { select.bytes(0), select.bytes(1), select.bytes(2), select.bytes(3),
                select.bytes(4) };
            if (checksumOf(folder, name, cover) != select.integer(5))
                return std::nullopt;
            return cover;
        });
}

bool MetadataStore::storeCovers(const std::vector<NamedCover>& covers)
{
    std::lock_guard lock(m_mutex);
    if (!m_database || covers.empty())
        return false;
    return writeInTransaction(m_database, WhenBusy::giveUp, [&] {
        Statement insert(
            m_database, "INSERT OR REPLACE INTO cover VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        bool written = insert.code() == SQLITE_OK;
        for (auto it = covers.begin(); written && it != covers.end(); ++it) {
            const Cover& cover = it->cover;
            insert.bind(1, it->folder);
            insert.bind(2, it->name);
            insert.bind(3, cover.stamp);
            insert.bind(4, cover.packageName);
            insert.bind(5, cover.entryName);
            insert.bind(6, cover.mimeType);
            insert.bind(7, cover.bytes);
            insert.bind(8, checksumOf(it->folder, it->name, cover));
            written = insert.step() == SQLITE_DONE;
            insert.reset();
        }
        return written;
    });
}

std::optional<MetadataStore::Description> MetadataStore::descriptionOf(
    const std::string& folder, const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return std::nullopt;
    return selectItem(
        kept(
            "SELECT stamp, package, text, checksum FROM description WHERE folder = ? AND name = ?"),
        folder, name, [&](Statement& select) -> std::optional<Description> {
            Description description { name, select.bytes(0), select.bytes(1), select.bytes(2) };
            if (checksumOf(folder, description) != select.integer(3))
                return std::nullopt;
            return description;
        });
}

std::optional<std::string> MetadataStore::documentDigestOf(
    const std::string& folder, const std::string& name, const std::string& version)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return std::nullopt;
    auto* query
        = kept("SELECT version, digest, checksum FROM digest WHERE folder = ? AND name = ?");
    return selectItem(query, folder, name, [&](Statement& select) -> std::optional<std::string> {
        std::string stored = select.bytes(0), digest = select.bytes(1);
        auto checksum = checksumOf({ folder, name, stored, digest });
        if (stored != version || checksum != select.integer(2))
            return std::nullopt;
        return digest;
    });
}

std::vector<MetadataStore::DigestedBook> MetadataStore::booksOfDocumentDigest(
    const std::string& folder, const std::string& digest)
{
    std::vector<DigestedBook> books;
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return books;
    Statement select(
        kept("SELECT name, version, checksum FROM digest WHERE folder = ? AND digest = ?"));
    if (select.code() != SQLITE_OK)
        return books;
    select.bind(1, folder);
    select.bind(2, digest);
    while (select.step() == SQLITE_ROW) {
        DigestedBook book { select.bytes(0), select.bytes(1), digest };
        if (checksumOf({ folder, book.name, book.version, digest }) == select.integer(2))
            books.push_back(std::move(book));
    }
    return books;
}

bool MetadataStore::storeDocumentDigests(
    const std::string& folder, const std::vector<DigestedBook>& books)
{
    std::lock_guard lock(m_mutex);
    if (!m_database)
        return false;
    if (books.empty())
        return true;
    return writeInTransaction(m_database, WhenBusy::giveUp, [&] {
        Statement insert(m_database, "INSERT OR REPLACE INTO digest VALUES (?, ?, ?, ?, ?)");
        if (insert.code() != SQLITE_OK)
            return false;
        for (const auto& book : books) {
            insert.bind(1, folder);
            insert.bind(2, book.name);
            insert.bind(3, book.version);
            insert.bind(4, book.digest);
            insert.bind(5, checksumOf({ folder, book.name, book.version, book.digest }));
            if (insert.step() != SQLITE_DONE)
                return false;
            insert.reset();
        }
        return true;
    });
}

MetadataStore::DescriptionGaps MetadataStore::descriptionGaps(
    const std::string& folder, const std::string& after, std::size_t count)
{
    std::lock_guard lock(m_mutex);
    DescriptionGaps gaps;
    if (!m_database)
        return gaps;
    // The limit is on the entries looked at, not on the gaps found: a library whose descriptions
    // are all kept is still gone through a few hundred entries at a time.
    Statement select(
        kept("SELECT entry.name, description.stamp IS entry.stamp FROM"
             " (SELECT name, stamp FROM book WHERE folder = ?1 AND name > ?2 ORDER BY name LIMIT "
             "?3) AS entry"
             " LEFT JOIN description ON description.folder = ?1 AND description.name = entry.name"
             " ORDER BY entry.name"));
    if (select.code() != SQLITE_OK)
        return gaps;
    select.bind(1, folder);
    select.bind(2, after);
    select.bind(3, std::int64_t(count));
    while (select.step() == SQLITE_ROW) {
        gaps.last = select.bytes(0);
        if (select.integer(1) == 0)
            gaps.names.push_back(gaps.last);
    }
    return gaps;
}

bool MetadataStore::storeDescriptions(
    const std::string& folder, const std::vector<Description>& descriptions)
{
    std::lock_guard lock(m_mutex);
    if (!m_database || descriptions.empty())
        return false;
    return writeInTransaction(m_database, WhenBusy::giveUp, [&] {
        Statement insert(
            m_database, "INSERT OR REPLACE INTO description VALUES (?, ?, ?, ?, ?, ?)");
        bool written = insert.code() == SQLITE_OK;
        for (auto it = descriptions.begin(); written && it != descriptions.end(); ++it) {
            insert.bind(1, folder);
            insert.bind(2, it->name);
            insert.bind(3, it->stamp);
            insert.bind(4, it->packageName);
            insert.bind(5, it->text);
            insert.bind(6, checksumOf(folder, *it));
            written = insert.step() == SQLITE_DONE;
            insert.reset();
        }
        return written;
    });
}

std::uint64_t MetadataStore::byteSize() const
{
    std::uint64_t bytes = 0;
    for (const char* ending : { "", "-wal", "-shm" }) {
        std::error_code error;
        auto size = std::filesystem::file_size(m_path + ending, error);
        if (!error)
            bytes += size;
    }
    return bytes;
}

bool MetadataStore::clear()
{
    std::lock_guard lock(m_mutex);
    if (!m_database
        || execute(m_database,
               "DELETE FROM book; DELETE FROM cover; DELETE FROM description; DELETE FROM digest;")
            != SQLITE_OK)
        return false;
    // Gives the space back; another process reading at this moment only keeps the file large.
    execute(
        m_database, "PRAGMA wal_checkpoint(TRUNCATE); VACUUM; PRAGMA wal_checkpoint(TRUNCATE);");
    return true;
}

}
