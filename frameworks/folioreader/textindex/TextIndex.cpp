// TextIndex: the passages in a table, their words in an FTS5 table that keeps no copy of them
// (its rowid is the passage's), so the index adds to the text only its word lists. A book's
// passages are written in one transaction, so their rowids run unbroken from the book's first
// to its last: the matches of one book are a rowid range of the index.
#include "frameworks/folioreader/textindex/TextIndex.h"

#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/metadata/SqliteDatabase.h"
#include "frameworks/folioreader/textindex/IndexedWords.h"
#include "frameworks/folioreader/textindex/PassageSnippet.h"

#include <filesystem>
#include <optional>
#include <sqlite3.h>
#include <zlib.h>

namespace folioreader {

namespace {

using sqlite::execute;
using sqlite::Statement;

// Raised whenever the tables or the words kept change shape; an index of another version is
// made anew.
constexpr int schemaVersion = 2;
// The index is written one book at a time: a lock held longer than this is another Pagewyn's
// long write, and the book is tried again later.
constexpr int busyMilliseconds = 2000;
// The matches a search scores for relevance at most.
constexpr int rankedCandidates = 500;

std::string schema()
{
    return std::string("CREATE TABLE book(id INTEGER PRIMARY KEY, folder BLOB NOT NULL,"
                       " name BLOB NOT NULL, stamp BLOB NOT NULL, package BLOB NOT NULL,"
                       " title TEXT NOT NULL, author TEXT NOT NULL, readable INTEGER NOT NULL,"
                       " first INTEGER NOT NULL, last INTEGER NOT NULL, UNIQUE(folder, name));"
                       " CREATE TABLE chapter(book INTEGER NOT NULL, document INTEGER NOT NULL,"
                       " title TEXT NOT NULL, PRIMARY KEY(book, document)) WITHOUT ROWID;"
                       " CREATE TABLE passage(id INTEGER PRIMARY KEY, book INTEGER NOT NULL,"
                       " document INTEGER NOT NULL, offset INTEGER NOT NULL, text BLOB NOT NULL);"
                       " CREATE INDEX passage_book ON passage(book);"
                       " CREATE VIRTUAL TABLE passage_words USING fts5(words, content='',"
                       " tokenize=\"")
        + indexTokenizer + "\");";
}

int prepare(sqlite3* database)
{
    sqlite3_busy_timeout(database, busyMilliseconds);
    if (int code = execute(database, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
        code != SQLITE_OK)
        return code;
    Statement version(database, "PRAGMA user_version");
    if (version.code() != SQLITE_OK)
        return version.code();
    if (version.step() != SQLITE_ROW)
        return version.code();
    if (version.integer(0) == schemaVersion)
        return SQLITE_OK;
    std::string rebuild
        = "BEGIN IMMEDIATE; DROP TABLE IF EXISTS passage_words; DROP TABLE IF EXISTS passage;"
          " DROP TABLE IF EXISTS chapter; DROP TABLE IF EXISTS book; "
        + schema() + " PRAGMA user_version=" + std::to_string(schemaVersion) + "; COMMIT;";
    int code = execute(database, rebuild.c_str());
    if (code != SQLITE_OK)
        execute(database, "ROLLBACK");
    return code;
}

// A passage's text as kept: its length in four bytes, then its bytes deflated. Kept whole, the
// text would take more room than the words' index itself.
std::string packedText(std::string_view text)
{
    uLongf size = compressBound(uLong(text.size()));
    std::string packed(4 + size, '\0');
    const auto length = std::uint32_t(text.size());
    for (int index = 0; index < 4; ++index)
        packed[std::size_t(index)] = char((length >> (8 * index)) & 0xFF);
    if (compress2(reinterpret_cast<Bytef*>(packed.data() + 4), &size,
            reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 1)
        != Z_OK)
        return {};
    packed.resize(4 + size);
    return packed;
}

// The text again; nothing when the bytes do not unpack to the length they say.
std::optional<std::string> unpackedText(std::string_view packed)
{
    if (packed.size() < 4)
        return std::nullopt;
    std::uint32_t length = 0;
    for (int index = 0; index < 4; ++index)
        length |= std::uint32_t(static_cast<unsigned char>(packed[std::size_t(index)]))
            << (8 * index);
    // No passage is longer than a few thousand characters; a larger length is damage.
    if (length > 1024 * 1024)
        return std::nullopt;
    std::string text(length, '\0');
    uLongf size = length;
    if (uncompress(reinterpret_cast<Bytef*>(text.data()), &size,
            reinterpret_cast<const Bytef*>(packed.data() + 4), uLong(packed.size() - 4))
            != Z_OK
        || size != length)
        return std::nullopt;
    return text;
}

bool writeInTransaction(sqlite3* database, const std::function<bool()>& write)
{
    return sqlite::writeInTransaction(database, sqlite::WhenBusy::wait, busyMilliseconds, write);
}

std::optional<std::int64_t> bookId(
    sqlite3* database, const std::string& folder, const std::string& name)
{
    Statement find(database, "SELECT id FROM book WHERE folder = ?1 AND name = ?2");
    find.bind(1, folder);
    find.bind(2, name);
    if (find.step() != SQLITE_ROW)
        return std::nullopt;
    return find.integer(0);
}

// The error a person reads for a failed search: the engine's own words are never shown.
foundation::Error searchFailure(sqlite3* database)
{
    int code = sqlite3_errcode(database) & 0xff;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return foundation::Error("the library's text index is busy; try again");
    if (sqlite::isDamage(code))
        return foundation::Error(
            "the library's text index is damaged; it is made anew at the next start");
    return foundation::Error("the words could not be searched for");
}

}

std::shared_ptr<TextIndex> TextIndex::open(const std::string& path)
{
    sqlite3* database = sqlite::connect(path, prepare);
    if (!database)
        return nullptr;
    return std::shared_ptr<TextIndex>(new TextIndex(path, database));
}

std::string TextIndex::defaultPath()
{
    return std::filesystem::path(MetadataStore::defaultPath()).parent_path() / "text-index.sqlite3";
}

TextIndex::~TextIndex() { sqlite3_close_v2(m_database); }

std::unordered_map<std::string, TextIndex::IndexedBook> TextIndex::booksOf(
    const std::string& folder)
{
    std::lock_guard lock(m_mutex);
    std::unordered_map<std::string, IndexedBook> books;
    Statement list(m_database, "SELECT name, stamp, package, readable FROM book WHERE folder = ?1");
    list.bind(1, folder);
    while (list.step() == SQLITE_ROW)
        books.emplace(
            list.bytes(0), IndexedBook { list.bytes(1), list.bytes(2), list.integer(3) != 0 });
    return books;
}

bool TextIndex::deletePassages(std::int64_t book)
{
    // The words table keeps no text: what it took out is given again, as it was written.
    Statement passages(m_database, "SELECT id, text FROM passage WHERE book = ?1");
    Statement forget(m_database,
        "INSERT INTO passage_words(passage_words, rowid, words) VALUES('delete', ?1, ?2)");
    passages.bind(1, book);
    while (passages.step() == SQLITE_ROW) {
        auto text = unpackedText(passages.view(1));
        // Without its text a passage's words cannot be taken out: the damaged index is emptied
        // instead, and every book is read again as the index is disposable.
        if (!text) {
            passages.reset();
            return execute(m_database,
                       "INSERT INTO passage_words(passage_words) VALUES('delete-all');"
                       " DELETE FROM passage; DELETE FROM chapter; DELETE FROM book;")
                == SQLITE_OK;
        }
        std::string words = indexedWords(*text);
        forget.bind(1, passages.integer(0));
        forget.bindText(2, words);
        if (forget.step() != SQLITE_DONE)
            return false;
        forget.reset();
    }
    if (passages.code() != SQLITE_DONE)
        return false;
    Statement drop(m_database, "DELETE FROM passage WHERE book = ?1; ");
    drop.bind(1, book);
    Statement dropChapters(m_database, "DELETE FROM chapter WHERE book = ?1");
    dropChapters.bind(1, book);
    Statement dropBook(m_database, "DELETE FROM book WHERE id = ?1");
    dropBook.bind(1, book);
    return drop.step() == SQLITE_DONE && dropChapters.step() == SQLITE_DONE
        && dropBook.step() == SQLITE_DONE;
}

bool TextIndex::replaceBook(const std::string& folder, const std::string& name,
    const IndexedBook& indexed, const BookPassages& passages)
{
    std::lock_guard lock(m_mutex);
    return writeInTransaction(m_database, [&] {
        if (auto old = bookId(m_database, folder, name); old && !deletePassages(*old))
            return false;
        Statement addPassage(
            m_database, "INSERT INTO passage(book, document, offset, text) VALUES(0, ?1, ?2, ?3)");
        Statement addWords(m_database, "INSERT INTO passage_words(rowid, words) VALUES(?1, ?2)");
        std::int64_t first = 0;
        std::int64_t last = -1;
        std::string words;
        for (const Passage& passage : passages.passages) {
            addPassage.bind(1, std::int64_t(passage.document));
            addPassage.bind(2, std::int64_t(passage.offset));
            const std::string packed = packedText(passage.text);
            addPassage.bind(3, packed);
            if (addPassage.step() != SQLITE_DONE)
                return false;
            addPassage.reset();
            last = sqlite3_last_insert_rowid(m_database);
            if (first == 0)
                first = last;
            words = indexedWords(passage.text);
            addWords.bind(1, last);
            addWords.bindText(2, words);
            if (addWords.step() != SQLITE_DONE)
                return false;
            addWords.reset();
        }
        Statement addBook(m_database,
            "INSERT INTO book(folder, name, stamp, package, title, author, readable, first, last)"
            " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        addBook.bind(1, folder);
        addBook.bind(2, name);
        addBook.bind(3, indexed.stamp);
        addBook.bind(4, indexed.packageName);
        addBook.bindText(5, passages.title);
        addBook.bindText(6, passages.author);
        addBook.bind(7, std::int64_t(indexed.readable));
        addBook.bind(8, first);
        addBook.bind(9, last);
        if (addBook.step() != SQLITE_DONE)
            return false;
        const std::int64_t book = sqlite3_last_insert_rowid(m_database);
        Statement own(m_database, "UPDATE passage SET book = ?1 WHERE id BETWEEN ?2 AND ?3");
        own.bind(1, book);
        own.bind(2, first);
        own.bind(3, last);
        if (own.step() != SQLITE_DONE)
            return false;
        Statement addChapter(
            m_database, "INSERT INTO chapter(book, document, title) VALUES(?1, ?2, ?3)");
        for (std::size_t document = 0; document < passages.chapters.size(); ++document) {
            if (passages.chapters[document].empty())
                continue;
            addChapter.bind(1, book);
            addChapter.bind(2, std::int64_t(document));
            addChapter.bindText(3, passages.chapters[document]);
            if (addChapter.step() != SQLITE_DONE)
                return false;
            addChapter.reset();
        }
        return true;
    });
}

bool TextIndex::markUnreadable(
    const std::string& folder, const std::string& name, const IndexedBook& indexed)
{
    IndexedBook unreadable = indexed;
    unreadable.readable = false;
    return replaceBook(folder, name, unreadable, BookPassages {});
}

bool TextIndex::removeBook(const std::string& folder, const std::string& name)
{
    std::lock_guard lock(m_mutex);
    return writeInTransaction(m_database, [&] {
        auto old = bookId(m_database, folder, name);
        return !old || deletePassages(*old);
    });
}

foundation::Result<std::vector<TextIndex::Found>> TextIndex::matchesIn(
    std::int64_t book, const PassageQuery& query, std::size_t most, bool byRelevance)
{
    Statement range(m_database, "SELECT first, last FROM book WHERE id = ?1");
    range.bind(1, book);
    if (range.step() != SQLITE_ROW)
        return std::vector<Found> {};
    // By relevance for a book's best passages, in the book's order for all of them.
    Statement matches(m_database,
        byRelevance
            ? "SELECT p.document, p.offset, p.text, c.title FROM (SELECT rowid AS id, rank"
              " FROM passage_words WHERE passage_words MATCH ?1 AND rowid BETWEEN ?2 AND ?3"
              " ORDER BY rank LIMIT ?4) AS m JOIN passage p ON p.id = m.id"
              " LEFT JOIN chapter c ON c.book = p.book AND c.document = p.document ORDER BY m.rank"
            : "SELECT p.document, p.offset, p.text, c.title FROM (SELECT rowid AS id"
              " FROM passage_words WHERE passage_words MATCH ?1 AND rowid BETWEEN ?2 AND ?3"
              " ORDER BY rowid LIMIT ?4) AS m JOIN passage p ON p.id = m.id"
              " LEFT JOIN chapter c ON c.book = p.book AND c.document = p.document ORDER BY m.id");
    matches.bindText(1, query.expression);
    matches.bind(2, range.integer(0));
    matches.bind(3, range.integer(1));
    matches.bind(4, std::int64_t(std::min<std::size_t>(most, INT64_MAX)));
    std::vector<Found> found;
    while (matches.step() == SQLITE_ROW) {
        Found passage;
        passage.document = std::uint32_t(matches.integer(0));
        passage.offset = std::uint64_t(matches.integer(1));
        passage.chapter = matches.bytes(3);
        auto snippet
            = snippetOf(unpackedText(matches.view(2)).value_or(std::string()), query.marked);
        passage.snippet = std::move(snippet.text);
        passage.marks = std::move(snippet.marks);
        found.push_back(std::move(passage));
    }
    if (matches.code() != SQLITE_DONE)
        return searchFailure(m_database);
    return found;
}

foundation::Result<std::vector<TextIndex::FoundBook>> TextIndex::search(
    const std::string& folder, const PassageQuery& query, std::size_t books, std::size_t perBook)
{
    std::lock_guard lock(m_mutex);
    // Ordering every match by relevance costs as much as the matches are many: a common word
    // in a large library would take seconds. The first candidates are scored and ordered here
    // instead, so a rare word's matches come in true relevance order and a common word's in that
    // of the first ones found.
    Statement ranked(m_database,
        "SELECT b.id, b.name, b.title, b.author, m.score FROM (SELECT rowid AS id,"
        " bm25(passage_words) AS score FROM passage_words WHERE passage_words MATCH ?1 LIMIT ?2)"
        " AS m JOIN passage p ON p.id = m.id JOIN book b ON b.id = p.book WHERE b.folder = ?3");
    ranked.bindText(1, query.expression);
    ranked.bind(2, std::int64_t(rankedCandidates));
    ranked.bind(3, folder);
    struct Candidate {
        std::int64_t book;
        double score; // bm25: lower is better
        std::string name, title, author;
    };
    std::vector<Candidate> candidates;
    while (ranked.step() == SQLITE_ROW) {
        candidates.push_back({ ranked.integer(0), sqlite3_column_double(ranked.statement(), 4),
            ranked.bytes(1), ranked.bytes(2), ranked.bytes(3) });
    }
    if (ranked.code() != SQLITE_DONE)
        return searchFailure(m_database);
    std::stable_sort(candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.score < b.score; });
    std::vector<FoundBook> found;
    std::vector<std::int64_t> ids;
    for (auto& candidate : candidates) {
        if (found.size() == books)
            break;
        if (std::find(ids.begin(), ids.end(), candidate.book) != ids.end())
            continue;
        ids.push_back(candidate.book);
        found.push_back({ std::move(candidate.name), std::move(candidate.title),
            std::move(candidate.author), {}, false });
    }
    for (std::size_t index = 0; index < found.size(); ++index) {
        auto passages = matchesIn(ids[index], query, perBook + 1, false);
        if (!passages)
            return passages.error();
        found[index].more = passages->size() > perBook;
        passages->resize(std::min(passages->size(), perBook));
        found[index].passages = std::move(*passages);
    }
    return found;
}

foundation::Result<std::vector<TextIndex::Found>> TextIndex::searchBook(
    const std::string& folder, const std::string& name, const PassageQuery& query)
{
    std::lock_guard lock(m_mutex);
    auto book = bookId(m_database, folder, name);
    if (!book)
        return std::vector<Found> {};
    return matchesIn(*book, query, SIZE_MAX, false);
}

void TextIndex::merge(const std::function<bool()>& stopped)
{
    // A step writes about this many pages; the lock is let go between steps, so searches wait
    // for one step at most.
    constexpr int pagesAStep = 64;
    const std::string step = "INSERT INTO passage_words(passage_words, rank) VALUES('merge', "
        + std::to_string(pagesAStep) + ")";
    while (!(stopped && stopped())) {
        std::lock_guard lock(m_mutex);
        const auto before = sqlite3_total_changes64(m_database);
        if (execute(m_database, step.c_str()) != SQLITE_OK)
            return;
        // A step that found nothing to merge changes next to nothing.
        if (sqlite3_total_changes64(m_database) - before < 2)
            return;
    }
}

std::uint64_t TextIndex::byteSize() const
{
    std::uint64_t size = 0;
    for (const char* ending : { "", "-wal" }) {
        std::error_code error;
        auto bytes = std::filesystem::file_size(m_path + ending, error);
        if (!error)
            size += bytes;
    }
    return size;
}

}
