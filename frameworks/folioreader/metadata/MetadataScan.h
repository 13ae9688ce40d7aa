// MetadataScan: while a scan reads the books of one library folder, the reader engine answers
// their titles, authors, identifiers and languages from the persistent store when the books' files
// are unchanged, and keeps what it reads afresh, written to the store in one transaction when the
// scan finishes. Descriptions are no part of a scan: the program's DescriptionPass keeps them
// after it.
#pragma once

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace folioreader {

// The stamp as the store keeps it.
std::string encodeStamp(const std::vector<FileIdentity>& stamp);
// Whether every file of the stamp was last changed before readStart less the window: a file
// changed later may change again within one tick of the file system's clock and keep its stamp.
bool isSettled(const std::vector<FileIdentity>& stamp, std::chrono::system_clock::time_point readStart,
    std::chrono::nanoseconds window);

class MetadataScan {
public:
    struct Metadata {
        std::string title;
        std::string author;
        std::string identifier;
        std::string language;
    };

    // The scan of folder, active until it is destroyed; nullptr without a store. One scan at a
    // time: the library's scans run on the main thread. A scan expecting many new books loads the
    // folder's entries at once, and drops those of items no longer listed when it finishes;
    // otherwise it asks the store book by book.
    static std::unique_ptr<MetadataScan> begin(std::shared_ptr<MetadataStore> store, const std::string& folder,
        bool manyNewBooks);
    // The active scan, for the reader engine's reads from any thread.
    static MetadataScan* active();

    ~MetadataScan();
    MetadataScan(const MetadataScan&) = delete;
    MetadataScan& operator=(const MetadataScan&) = delete;

    // The item's name when path is folder, "/" and a name.
    std::optional<std::string> nameOf(const std::string& path) const;
    // The stored metadata of the item, when the stamp of its files is still the stored one.
    std::optional<Metadata> lookup(const std::string& name, const std::string& path);
    // Answers the rest of the scan with metadata read at readStart from files of that stamp, and
    // keeps it for the store unless the files had only just changed.
    void remember(const std::string& name, const std::vector<FileIdentity>& stamp, const std::string& packageName,
        const Metadata& metadata, std::chrono::system_clock::time_point readStart);
    // Writes what was read afresh and drops the entries of items no longer listed, or changed and
    // not read again; then asks the program's DescriptionPass, if one runs, for the folder.
    void finish(const std::vector<std::string>& listedNames);

private:
    struct Slot {
        std::string packed;    // the entry as pack gives it
        bool verified = false; // checked against the files, or read afresh, during this scan
        bool fresh = false;    // read during this scan: to be written
        bool stale = false;    // the files changed since it was stored
        bool listed = false;
    };
    // A row of the folder loaded at once: its fields side by side in one of m_rowBlocks, checked
    // (checksum, then stamp) only when the scan asks for it.
    struct Row {
        std::uint32_t block;
        std::uint32_t at;
        std::uint32_t sizes[7]; // name, stamp, package name, title, author, identifier, language
        std::int64_t checksum;
    };
    enum class RowState : std::uint8_t { unchecked, verified, unusable };

    MetadataScan(std::shared_ptr<MetadataStore> store, std::string folder, bool loadAll);

    void loadRows();
    std::string_view field(const Row& row, int index) const;
    // The loaded row of that name; the table is not changed after loading, so no lock is needed.
    std::optional<std::size_t> rowOf(std::string_view name) const;
    std::optional<Metadata> lookupRow(std::size_t row, const std::string& path);

    std::shared_ptr<MetadataStore> m_store;
    std::string m_folder;
    bool m_loadedAll;
    std::vector<std::string> m_rowBlocks;
    std::vector<Row> m_rows;
    std::vector<std::uint32_t> m_rowTable; // open addressing by the name's hash: row + 1, 0 for none
    std::mutex m_mutex; // the scan's reading threads share the slots and the rows' states
    std::vector<RowState> m_rowStates;
    std::vector<char> m_rowsListed;
    std::unordered_map<std::string, Slot> m_slots; // entries asked for one by one, and fresh reads
};

}
