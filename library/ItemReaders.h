// ItemReaders: reads the book items of one scan, each item's date and, for an item new to the
// list, its title, author and details, on a bounded pool of threads running ahead of the scan, which takes
// the results one by one in listing order and reads a chunk itself rather than wait idle.
#pragma once

#include "library/BookDetails.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Result.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// What the scan needs to know of one item; the error texts are those the scan writes.
struct ItemRead {
    std::optional<foundation::Error> unreadable; // the item's attributes or date could not be read
    foundation::Date modified;
    std::optional<foundation::Result<std::string>> title;  // read only for an item new to the list
    std::optional<foundation::Result<std::string>> author; // read only after the title was
    std::string searchKey; // BookList::searchKeyOf title and author, when both were read
    BookDetails details;   // read after them
};

class ItemReaders {
public:
    // Reads folder "/" names[k] for every k, metadata where readMetadata[k]. With one worker
    // every item is read by take itself, on the caller's thread.
    ItemReaders(std::string folder, const std::vector<std::string>& names, std::vector<char> readMetadata, std::size_t workers);
    // Stops the workers after their current item and waits for them.
    ~ItemReaders();
    ItemReaders(const ItemReaders&) = delete;
    ItemReaders& operator=(const ItemReaders&) = delete;

    // The item at index, once read. Indices are taken once each, in increasing order.
    ItemRead take(std::size_t index);
    // Lets the workers stop after their current item; take must not be called afterwards. For a
    // scan that stops early.
    void cancel();

private:
    // Workers claim items a chunk at a time and are woken once a whole chunk was taken: one
    // wake-up per item would cost more than reading a known book's stamp.
    static constexpr std::size_t chunk = 64;
    // Items read ahead and not yet taken, at most: bounds the memory of a scan of any size.
    static constexpr std::size_t window = 8 * chunk;

    void work();
    // Claims the next chunk, reads it unlocked and parks its results; lock is held on entry and exit.
    void readChunk(std::unique_lock<std::mutex>& lock, std::vector<ItemRead>& items);
    // Reads item index: its modification date, then, with its readMetadata, title and author.
    ItemRead read(std::size_t index) const;

    std::string m_folder;
    int m_folderDescriptor; // items are looked up in the folder itself, not along its whole path
    const std::vector<std::string>& m_names;
    std::vector<char> m_readMetadata;
    std::mutex m_mutex;
    std::condition_variable m_spaceFreed; // workers wait for it
    std::condition_variable m_itemsReady; // the scan waits for it
    std::vector<std::optional<ItemRead>> m_ready; // item k in slot k % window
    std::size_t m_next = 0;  // the next item a worker starts
    std::size_t m_taken = 0; // items taken so far
    bool m_cancelled = false;
    std::vector<std::thread> m_workers;
};

// The number of threads a first scan reads with: one per core unless set; 1 reads in the scan's
// own thread. For benchmarks and tests that compare the two.
std::size_t scanWorkerCount();
void setScanWorkerCount(std::size_t workers);
