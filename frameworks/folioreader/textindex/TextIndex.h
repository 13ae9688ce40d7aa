// TextIndex: the text of the library's books, cut into passages and kept in an SQLite file with a
// full-text index beside the metadata cache, so that a remembered sentence is found in every book
// at once. As disposable as the cache: a file that is damaged or of another version is made anew,
// and costs only reading the books again.
#pragma once

#include "frameworks/folioreader/textindex/BookPassages.h"
#include "frameworks/folioreader/textindex/PassageQuery.h"
#include "platform/foundation/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;

namespace folioreader {

struct PackedBook;

class TextIndex {
public:
    // Opens the index at path, creating it and its folder as needed; nullptr when none can be
    // used (a read-only disk, a lock held too long).
    static std::shared_ptr<TextIndex> open(const std::string& path);
    // text-index.sqlite3 beside the metadata cache.
    static std::string defaultPath();

    ~TextIndex();
    TextIndex(const TextIndex&) = delete;
    TextIndex& operator=(const TextIndex&) = delete;

    const std::string& path() const { return m_path; }

    // A book as the index holds it: the stamp of the files its text was read from.
    struct IndexedBook {
        std::string stamp;
        std::string packageName; // to stamp a folder book again
        bool readable = true; // false: its text could not be read, and is not tried again
    };
    // The books of the folder the index holds whose names sort after after, at most most of
    // them, in the order of their names' bytes; empty when the index fails. A library's books are
    // gone over a page at a time: held all at once, 100,000 took 25 MB.
    std::vector<std::pair<std::string, IndexedBook>> booksOf(
        const std::string& folder, const std::string& after, std::size_t most);
    // In one transaction, the book's passages in place of those it had. Answers whether it was
    // written.
    bool replaceBook(const std::string& folder, const std::string& name, const IndexedBook& book,
        PackedBook passages);
    // The same, packing the passages first.
    bool replaceBook(const std::string& folder, const std::string& name, const IndexedBook& book,
        const BookPassages& passages);
    // The book's passages taken out; with a stamp recorded as unreadable.
    bool markUnreadable(
        const std::string& folder, const std::string& name, const IndexedBook& book);
    bool removeBook(const std::string& folder, const std::string& name);

    // A passage found, with a snippet of it holding the words marked.
    struct Found {
        std::uint32_t document = 0;
        std::uint64_t offset = 0;
        std::string chapter;
        std::string snippet;
        // The marked words in the snippet: [from, to) in UTF-16 code units.
        std::vector<std::pair<std::uint32_t, std::uint32_t>> marks;
    };
    struct FoundBook {
        std::string name;
        std::string title;
        std::string author;
        std::vector<Found> passages; // the best ones, most relevant first
        bool more = false; // the book holds more passages that match
    };
    // The books of the folder holding passages that match, most relevant first, at most books
    // of them with at most perBook passages each.
    foundation::Result<std::vector<FoundBook>> search(const std::string& folder,
        const PassageQuery& query, std::size_t books, std::size_t perBook);
    // Every passage of one book that matches, in the book's order.
    foundation::Result<std::vector<Found>> searchBook(
        const std::string& folder, const std::string& name, const PassageQuery& query);

    // Merges the word lists that books written one at a time left in many small pieces, a step
    // at a time (each a short transaction), until none is left or stopped answers true: a merged
    // index is about a third of the size and faster to search.
    void merge(const std::function<bool()>& stopped);

    // The bytes the index takes on disk, its journal included.
    std::uint64_t byteSize() const;

private:
    TextIndex(std::string path, sqlite3* database)
        : m_path(std::move(path))
        , m_database(database)
    {
    }

    bool deletePassages(std::int64_t book);
    // The book's first most passages that match expression, in the book's order.
    foundation::Result<std::vector<Found>> matchesIn(std::int64_t book, const PassageQuery& query,
        const std::string& expression, std::size_t most);
    // The commonest words of the library that begin with start, commonest first.
    std::vector<std::string> commonCompletions(const std::string& start);
    // The book's passages of those numbers, with their snippets.
    foundation::Result<std::vector<Found>> passagesAt(
        std::int64_t book, const std::vector<std::int64_t>& ids, const PassageQuery& query);

    std::string m_path;
    std::mutex m_mutex; // one connection, shared by the indexing thread and the searches
    sqlite3* m_database;
};

}
