// MetadataStore: the reader engine's titles, authors, identifiers, languages and descriptions of
// the books of library folders, kept between runs in an SQLite file, each with the stamp of the
// files they were read from. A cache: a store that cannot be used, or an entry that does not check
// out, only costs a fresh read.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace folioreader {

class MetadataStore {
public:
    struct Entry {
        std::string name; // the item's name in its folder
        std::string stamp; // encodeStamp of the files the metadata was read from
        std::string packageName; // the package document's entry name, to stamp a folder book again
        std::string title;
        std::string author;
        std::string identifier; // the package's unique identifier, as the scan keeps it
        std::string language;
    };

    // Opens the store file at path, creating it and its folder as needed. A file that is damaged
    // or of another version is made afresh; nullptr when none can be used (a read-only disk, a
    // lock held too long): the caller then reads every book itself.
    static std::shared_ptr<MetadataStore> open(const std::string& path);

    // $XDG_CACHE_HOME/pagewyn/metadata.sqlite3, by default ~/.cache/pagewyn/metadata.sqlite3.
    static std::string defaultPath();

    ~MetadataStore();
    MetadataStore(const MetadataStore&) = delete;
    MetadataStore& operator=(const MetadataStore&) = delete;

    const std::string& path() const { return m_path; }

    // A file changed this shortly before it was read may change again within one tick of the
    // file system's clock and keep its stamp; what was read from it is not kept. Tests set 0.
    std::chrono::nanoseconds unsettledWindow() const { return m_unsettledWindow; }
    void setUnsettledWindow(std::chrono::nanoseconds window) { m_unsettledWindow = window; }

    // An entry as stored, viewed in place, with the checksum it carries, not yet checked.
    struct StoredRow {
        std::string_view name, stamp, packageName, title, author, identifier, language;
        std::int64_t checksum;
    };

    // Hands each entry of the folder whose checksum holds to take; nothing when the store fails.
    void forEachEntry(const std::string& folder, const std::function<void(Entry&&)>& take);
    // Hands every row of the folder to take, unchecked: for a caller that checks (checksumHolds)
    // only the rows it uses, on its own threads. The views last until take returns.
    void forEachStoredRow(
        const std::string& folder, const std::function<void(const StoredRow&)>& take);
    // The same for the rows named from `from` up to (not including) `before`, or to the last
    // without it, in name order (byte order, the table's key order).
    void forEachStoredRow(const std::string& folder, const std::string& from,
        const std::string* before, const std::function<void(const StoredRow&)>& take);
    static bool checksumHolds(std::string_view folder, const StoredRow& row);
    // The same entries, by name.
    std::unordered_map<std::string, Entry> entriesOf(const std::string& folder);
    // The entry of the item, when it is stored and its checksum holds.
    std::optional<Entry> entryOf(const std::string& folder, const std::string& name);
    // In one transaction: keeps stored (replacing entries of the same name) and drops the
    // entries named in dropped, with their covers and descriptions. Answers whether it was
    // written; a busy or broken store is not.
    bool commit(const std::string& folder, const std::vector<Entry>& stored,
        const std::vector<std::string>& dropped);
    // The same, with the entries to keep handed over one at a time by next, in name order (the
    // table's key order), until it answers none: a scan of many books never holds them all
    // unpacked at once.
    bool commitInOrder(const std::string& folder, const std::function<std::optional<Entry>()>& next,
        const std::vector<std::string>& dropped);

    // A book's small cover picture, kept beside its metadata under the stamp of the files it was
    // made from. Empty bytes record that the book has no usable cover.
    struct Cover {
        std::string stamp; // encodeStamp of the book's files and, for a folder book, the picture's
        std::string packageName; // to stamp a folder book again
        std::string entryName; // the picture's entry in the book, to stamp a folder book again
        std::string mimeType;
        std::string bytes;
    };
    // The item's stored cover, when there is one and its checksum holds.
    std::optional<Cover> coverOf(const std::string& folder, const std::string& name);
    struct NamedCover {
        std::string folder;
        std::string name;
        Cover cover;
    };
    // In one transaction, keeps the items' covers, replacing those they had; answers whether they
    // were written. Waits for no other process's write: a busy store leaves them unkept.
    bool storeCovers(const std::vector<NamedCover>& covers);

    // A book's description, kept apart from the entries so that a scan, which loads a folder's
    // entries at once, never holds a library's descriptions; under the stamp of the files it was
    // read from, as its entry is. The empty text records that the book has none.
    struct Description {
        std::string name;
        std::string stamp;
        std::string packageName; // to stamp a folder book again
        std::string text;
    };
    // The item's stored description, when there is one and its checksum holds.
    std::optional<Description> descriptionOf(const std::string& folder, const std::string& name);
    // Of the folder's entries named after `after` (in the order of names), the next count at most:
    // the names of those with no description kept under the entry's stamp, and the last name
    // looked at (empty when none was left). One short query each, so a pass over a large library
    // never holds the store for long.
    struct DescriptionGaps {
        std::vector<std::string> names;
        std::string last;
    };
    DescriptionGaps descriptionGaps(
        const std::string& folder, const std::string& after, std::size_t count);
    // In one transaction, keeps the descriptions, replacing those of the same names; answers
    // whether they were written. Waits for no other process's write: a busy store leaves them
    // unkept.
    bool storeDescriptions(const std::string& folder, const std::vector<Description>& descriptions);

    // The digest reading devices name the item by, kept under the version of the book it was
    // computed from; nothing when none is kept for that version. Storing waits for no other
    // process's write: a busy store leaves it unkept.
    std::optional<std::string> documentDigestOf(
        const std::string& folder, const std::string& name, const std::string& version);
    struct DigestedBook {
        std::string name;
        std::string version;
        std::string digest;
    };
    // In one transaction (a walk over many books keeps theirs at once).
    bool storeDocumentDigests(const std::string& folder, const std::vector<DigestedBook>& books);
    // The items the digest is kept for, each with the version it was computed from (which the
    // caller checks against the item's own); one indexed lookup, whatever the folder's size.
    std::vector<DigestedBook> booksOfDocumentDigest(
        const std::string& folder, const std::string& digest);

    // The bytes the store takes on disk, its journal and pictures included.
    std::uint64_t byteSize() const;
    // Forgets every entry, cover and description of every folder.
    bool clear();

private:
    MetadataStore(std::string path, sqlite3* database)
        : m_path(std::move(path))
        , m_database(database)
    {
    }

    // The statement for sql (a string literal: it is kept by its address), prepared once for the
    // connection's life (a row's lookup is asked for as each row is drawn), or nullptr where it
    // cannot be prepared. Called with the mutex held.
    sqlite3_stmt* kept(const char* sql);
    // Closes the connection, with the statements kept for it.
    void disconnect();

    std::string m_path;
    std::chrono::nanoseconds m_unsettledWindow = std::chrono::seconds(2);
    std::mutex m_mutex; // one connection, used by the scan and by the settings page's thread
    sqlite3* m_database;
    std::unordered_map<const char*, sqlite3_stmt*>
        m_kept; // by the SQL text's address: no copy per lookup
};

}
