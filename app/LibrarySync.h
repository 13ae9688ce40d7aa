// LibrarySync: the library as the progress sync for reading devices sees it. It names each book
// by the digests devices name documents by (of its name as the catalog sends it; of its file's
// samples, computed once per version of the book and kept in the metadata cache), and carries
// places both ways between the devices' XPointers and the reader's kept places. Called on the
// sync's workers: what touches the book list runs on the main loop.
//
// A document is found lazily, never by reading the whole library at each change of the list: the
// download names first (no file is read), then the digests the cache keeps, checking the version
// of the matched book only; only then the books whose digests are not known yet, read in list
// order and for a bounded time per ask, so an answer never waits past a device's timeout. A walk
// cut short goes on where it stopped at the next ask.
#pragma once

#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "library/BookList.h"
#include "platform/foundation/Result.h"
#include "platform/host/kosync/SyncLibrary.h"
#include "platform/ui/MainLoop.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class LibrarySync final : public host::SyncLibrary {
public:
    // How a book is read at a path: its version (what changes with any change of the bytes the
    // catalog sends, empty when it cannot be read) and its sampled digest.
    struct BookReading {
        std::function<std::string(const std::string& path)> versionOf;
        std::function<foundation::Result<std::string>(const std::string& path)> digestOf;
    };
    // The book files and folders, as the catalog sends them.
    static BookReading bookFiles();
    // How long one ask reads books whose digests are not known yet: well inside the five seconds
    // a device waits for an answer.
    static constexpr std::chrono::milliseconds readingBudget { 1500 };

    explicit LibrarySync(ui::MainLoop& loop, const BookList& books = bookList(),
        BookReading reading = bookFiles(), std::chrono::milliseconds budget = readingBudget)
        : m_loop(loop)
        , m_books(books)
        , m_reading(std::move(reading))
        , m_budget(budget)
    {
    }

    std::optional<std::string> bookFor(const std::string& document) override;
    std::optional<host::SyncPlace> keptPlace(const std::string& book) override;
    void placePushed(
        const std::string& book, const host::SyncPlace& place, const std::string& device) override;

private:
    // Takes the list's files again when it changed since; false when the loop has stopped.
    bool followList();
    // The book the metadata cache keeps the digest for, when its version is still the book's.
    std::optional<std::string> cachedBookFor(const std::string& document);
    // The books not read yet in this list, for the budget's time: the one the document names, or
    // nothing. What is read is added to read, for the cache.
    std::optional<std::string> walkFor(
        const std::string& document, std::vector<folioreader::MetadataStore::DigestedBook>& read);
    // The book's sampled digest: from the cache for this version of the book, else read from the
    // book and added to read. Empty when the book cannot be read.
    std::string digestOf(
        const std::string& file, std::vector<folioreader::MetadataStore::DigestedBook>& read);

    ui::MainLoop& m_loop;
    const BookList& m_books;
    BookReading m_reading;
    std::chrono::milliseconds m_budget;
    std::mutex m_mutex;
    // All below are of the list as it was at m_madeAt.
    std::uint64_t m_madeAt = UINT64_MAX;
    std::vector<std::string> m_files;
    std::unordered_map<std::string, std::string> m_bookByName;
    // The sampled digests of the files before m_walked.
    std::unordered_map<std::string, std::string> m_bookByDigest;
    std::size_t m_walked = 0;
    // Documents that no book of the list is, once every book was read.
    std::unordered_set<std::string> m_unmatched;
};
