// MetadataScan: while a scan reads the books of one library folder, the reader engine answers
// their titles, authors, identifiers and languages from the persistent store when the books' files
// are unchanged, and keeps what it reads afresh. The scan walks the folder's items in name order,
// which is the store's key order: the store's rows are loaded a window of names at a time, before
// the reading threads reach them, and what a window read afresh (or found no longer usable) is
// written in one transaction as soon as the scan has taken its every item. A scan of any size
// holds a few windows, never the folder's entries. Descriptions are no part of a scan: the
// program's DescriptionPass keeps them after it, when the scan's caller asks it to.
#pragma once

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/metadata/BookMetadata.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
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
bool isSettled(const std::vector<FileIdentity>& stamp,
    std::chrono::system_clock::time_point readStart, std::chrono::nanoseconds window);

class MetadataScan {
public:
    using Metadata = BookMetadata;

    // Names a window holds, 2,048 unless set: more than the reading threads run ahead of the
    // scan, so that they read in the window the scan is in or the next one. Tests set a few, so
    // that a small folder spans many windows and the readers run past them.
    static void setWindowSize(std::size_t names);

    // The scan of folder, active until it is destroyed; nullptr without a store. One scan at a
    // time: the library's scans run on the main thread. names are the folder's items in byte
    // order and outlive the scan; asked[k] says whether item k's metadata will be asked for, and
    // only windows holding such an item are loaded.
    static std::unique_ptr<MetadataScan> begin(std::shared_ptr<MetadataStore> store,
        const std::string& folder, const std::vector<std::string>& names,
        const std::vector<char>& asked);
    // The active scan, for the reader engine's entry points that are given none.
    static MetadataScan* active();

    ~MetadataScan();
    MetadataScan(const MetadataScan&) = delete;
    MetadataScan& operator=(const MetadataScan&) = delete;

    // Tells this scan from every other of the process's run, whatever their addresses.
    std::uint64_t serial() const { return m_serial; }
    // The item's name when path is folder, "/" and a name.
    std::optional<std::string> nameOf(const std::string& path) const;
    // The stored metadata of the item, when the stamp of its files is still the stored one;
    // itemStatus, the item's status its caller has just read, if any (see currentStamp).
    std::optional<Metadata> lookup(
        const std::string& name, const std::string& path, const struct stat* itemStatus);
    // Answers the rest of the scan with metadata read at readStart from files of that stamp, and
    // keeps it for the store unless the files had only just changed.
    void remember(const std::string& name, const std::vector<FileIdentity>& stamp,
        const std::string& packageName, const Metadata& metadata,
        std::chrono::system_clock::time_point readStart);
    // The scan has taken every item before end: the windows wholly behind it are written and let
    // go, and the next one is loaded ahead of the readers. From the scan's own thread.
    void taken(std::size_t end);
    // Writes what is left: the windows loaded, then the items asked for outside them. Whether
    // the scan wrote entries to the store.
    bool finish();
    const std::shared_ptr<MetadataStore>& store() const { return m_store; }

private:
    // A row of the store, its fields side by side in one of its window's blocks, checked
    // (checksum, then stamp) only when the scan asks for it.
    struct Row {
        std::uint32_t block;
        std::uint32_t at;
        std::uint32_t sizes[7]; // name, stamp, package name, title, author, identifier, language
        std::int64_t checksum;
    };
    enum class RowState : std::uint8_t { unchecked, verified, unusable };
    // The rows of the names from the window's first up to the next window's first, by item of
    // the window its row and what the scan read afresh. Never changed but under the mutex; the
    // rows' bytes not after loading.
    struct Window {
        std::vector<std::string> blocks;
        std::vector<Row> rows; // in name order
        std::vector<RowState> rowStates;
        std::vector<char> rowListed;
        std::vector<std::int32_t> rowOfItem; // -1 for none
        std::vector<std::string> fresh; // the entry read afresh, packed; empty for none
        std::vector<char> freshSettled; // to be written, not only answered
    };
    enum class WindowState : std::uint8_t { unloaded, loading, loaded, written };
    // An item asked for outside the windows loaded: by another thread, or after its window was
    // written.
    struct Slot {
        std::string packed; // the entry as pack gives it
        bool verified = false; // checked against the files, or read afresh, during this scan
        bool fresh = false; // read during this scan: to be written
        bool stale = false; // the files changed since it was stored
    };

    MetadataScan(std::shared_ptr<MetadataStore> store, std::string folder,
        const std::vector<std::string>& names, const std::vector<char>& asked);

    std::optional<std::size_t> indexOf(std::string_view name) const;
    std::shared_ptr<Window> load(std::size_t window) const;
    // The window, loaded first when it has not been; nullptr once written.
    std::shared_ptr<Window> loadedWindow(std::size_t window, std::unique_lock<std::mutex>& lock);
    void write(std::size_t window);
    std::string_view field(const Window& window, const Row& row, int index) const;
    // With the mutex held on entry; let go of before the answer.
    std::optional<Metadata> lookupInWindow(Window& window, std::size_t item,
        const std::string& path, const struct stat* itemStatus, std::unique_lock<std::mutex>& lock);
    std::optional<Metadata> lookupSlot(
        const std::string& name, const std::string& path, const struct stat* itemStatus);

    std::shared_ptr<MetadataStore> m_store;
    std::string m_folder;
    const std::size_t m_windowSize;
    const std::uint64_t m_serial;
    const std::vector<std::string>& m_names;
    std::vector<char> m_windowAsked;
    std::size_t m_windowReached = SIZE_MAX; // the window the scan took its last item in
    std::size_t m_unwritten = 0; // every window before it is written
    bool m_wroteFresh = false;
    std::mutex m_mutex; // the scan's reading threads share the windows and the slots
    std::condition_variable m_windowLoaded;
    std::vector<WindowState> m_windowStates;
    std::vector<std::shared_ptr<Window>> m_windows;
    std::unordered_map<std::string, Slot> m_slots;
};

}
