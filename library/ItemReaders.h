// ItemReaders: reads the book items of one scan, each item's date and, for an item new to the
// list, its title, author and details, on a bounded pool of threads running ahead of the scan,
// which takes the results one by one in listing order and reads a chunk itself rather than wait
// idle (foundation::OrderedWork).
#pragma once

#include "library/BookDetails.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/OrderedWork.h"
#include "platform/foundation/Result.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace folioreader {
class MetadataScan;
}

// What the scan needs to know of one item; the error texts are those the scan writes.
struct ItemRead {
    std::optional<foundation::Error> unreadable; // the item's attributes or date could not be read
    foundation::Date modified;
    std::optional<foundation::Result<std::string>> title; // read only for an item new to the list
    std::optional<foundation::Result<std::string>> author; // read only after the title was
    std::string searchKey; // BookList::searchKeyOf title and author, when both were read
    BookDetails details; // read after them
};

class ItemReaders {
public:
    // Reads folder "/" names[k] for every k, metadata where readMetadata[k], through scan (the
    // metadata store's scan of the folder; nullptr reads every book). With one worker every item
    // is read by take itself, on the caller's thread.
    ItemReaders(std::string folder, const std::vector<std::string>& names,
        std::vector<char> readMetadata, folioreader::MetadataScan* scan, std::size_t workers);
    // Stops the workers after their current chunk and waits for them.
    ~ItemReaders();
    ItemReaders(const ItemReaders&) = delete;
    ItemReaders& operator=(const ItemReaders&) = delete;

    // The item at index, once read. Indices are taken once each, in increasing order.
    ItemRead take(std::size_t index) { return m_reads.take(index); }
    // Lets the workers stop after their current chunk; take must not be called afterwards. For a
    // scan that stops early.
    void cancel() { m_reads.cancel(); }

private:
    // Items are claimed 64 at a time, and at most 1,024 read ahead of the scan and not yet taken,
    // which bounds the memory of a scan of any size; as many as the readers read while the scan
    // writes a window of the metadata store, so that they seldom wait for it (with 512 a first scan
    // of 100,000 books took 1.35 s, with 1,024 1.27 s).
    static constexpr foundation::OrderedWork<ItemRead>::Shape shape(std::size_t workers)
    {
        return { .workers = workers <= 1 ? 0 : workers,
            .chunk = 64,
            .window = 16 * 64,
            .takerHelps = true };
    }

    // Reads item index: its modification date, then, with its readMetadata, title and author.
    ItemRead read(std::size_t index) const;

    std::string m_folder;
    // Items are looked up in the folder itself, not along its whole path; closed after the workers
    // (the members after it) are joined.
    foundation::FileDescriptor m_folderDescriptor;
    const std::vector<std::string>& m_names;
    std::vector<char> m_readMetadata;
    folioreader::MetadataScan* m_scan;
    foundation::OrderedWork<ItemRead> m_reads; // last: its workers read the members above
};

// The number of threads a first scan reads with: one per core unless set; 1 reads in the scan's
// own thread. For benchmarks and tests that compare the two.
std::size_t scanWorkerCount();
void setScanWorkerCount(std::size_t workers);
