// TextIndex: the passages in blocks, their words in an FTS5 table that keeps no copy of them, so
// the index adds to the text only its word lists. A book's passages are numbered in a row from its
// first to its last, and so are those of each block, whose id is its first passage's: the matches
// of one book are a rowid range of the words' table, and a passage lies in the block of the
// greatest id not past its number.
#include "frameworks/folioreader/textindex/TextIndex.h"

#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/metadata/SqliteDatabase.h"
#include "frameworks/folioreader/textindex/IndexedWords.h"
#include "frameworks/folioreader/textindex/PackedBook.h"
#include "frameworks/folioreader/textindex/PassageBlocks.h"
#include "frameworks/folioreader/textindex/PassageSnippet.h"

#include <filesystem>
#include <optional>
#include <sqlite3.h>

namespace folioreader {

namespace {

using sqlite::execute;
using sqlite::Statement;

// Raised whenever the tables or the words kept change shape; an index of another version is
// made anew.
constexpr int schemaVersion = 4;
// The index is written one book at a time: a lock held longer than this is another Pagewyn's
// long write, and the book is tried again later.
constexpr int busyMilliseconds = 2000;
// The first matches a search weighs at most, and the books they may come from: a word found once
// or twice a book would otherwise have the engine go over as many more books' passages as the
// library is larger, to weigh books it does not show.
constexpr int rankedCandidates = 500;
constexpr std::size_t rankedBooks = 100;
// Which book holds a passage: the one whose passages begin last at or before it. Without it a
// search read a block of passages for each match to learn its book.
constexpr const char* bookByFirstPassage = "CREATE INDEX IF NOT EXISTS book_first ON book(first)";

std::string schema()
{
    return std::string("CREATE TABLE book(id INTEGER PRIMARY KEY, folder BLOB NOT NULL,"
                       " name BLOB NOT NULL, stamp BLOB NOT NULL, package BLOB NOT NULL,"
                       " title TEXT NOT NULL, author TEXT NOT NULL, readable INTEGER NOT NULL,"
                       " first INTEGER NOT NULL, last INTEGER NOT NULL, UNIQUE(folder, name));"
                       " CREATE TABLE chapter(book INTEGER NOT NULL, document INTEGER NOT NULL,"
                       " title TEXT NOT NULL, PRIMARY KEY(book, document)) WITHOUT ROWID;"
                       " CREATE TABLE passage_block(id INTEGER PRIMARY KEY, last INTEGER NOT NULL,"
                       " book INTEGER NOT NULL, passages BLOB NOT NULL);"
                       // No passage's length is kept (1.7% of the index): books are ordered
                       // by the passages holding the words, whatever their length.
                       // Each book's commonest words added up: the completions a word
                       // being typed is searched as. Never taken back (a book gone leaves its
                       // counts): they only choose which words to look for.
                       " CREATE TABLE common_word(word TEXT PRIMARY KEY,"
                       " count INTEGER NOT NULL) WITHOUT ROWID;"
                       " CREATE VIRTUAL TABLE passage_words USING fts5(words, content='',"
                       " columnsize=0, tokenize=\"")
        + indexTokenizer + "\");";
}

int prepare(sqlite3* database)
{
    sqlite3_busy_timeout(database, busyMilliseconds);
    // Merging leaves free the pages of the lists it merged: a file made anew can give them back
    // (a file that holds tables keeps its way). Searches read few pages, and the system keeps
    // the file's pages too: a cache of 512 KB rather than 2 MB. Not less: at 256 KB the pages
    // that writing a book goes back to no longer fit, and the build took 20% longer.
    if (int code = execute(database,
            "PRAGMA auto_vacuum=INCREMENTAL; PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
            " PRAGMA cache_size=-512;");
        code != SQLITE_OK)
        return code;
    if (int code = sqlite::makeTables(database, schemaVersion,
            "DROP TABLE IF EXISTS passage_words; DROP TABLE IF EXISTS passage;"
            " DROP TABLE IF EXISTS passage_block; DROP TABLE IF EXISTS chapter;"
            " DROP TABLE IF EXISTS book; DROP TABLE IF EXISTS common_word; "
                + schema()
                + " INSERT INTO passage_words(passage_words, rank) VALUES('automerge', 16);");
        code != SQLITE_OK)
        return code;
    // Added to an index an earlier Pagewyn made, which is otherwise the same. Should another
    // Pagewyn hold the lock now, searches are slower until the next start, not wrong.
    execute(database, bookByFirstPassage);
    // The words of a book being written are held in memory up to this much before the engine
    // writes them out: at its default of 1 MB, they were a third of what indexing added to the
    // program's memory; at 256 KB, 0.5 MB of it. At 128 KB the build was as fast in three runs
    // side by side. Set once in the file, not at every start (a write would wait for another
    // Pagewyn's).
    constexpr int pendingWords = 128 * 1024;
    if (Statement kept(database, "SELECT v FROM passage_words_config WHERE k = 'hashsize'");
        kept.step() != SQLITE_ROW || kept.integer(0) != pendingWords) {
        kept.reset();
        execute(database,
            ("INSERT INTO passage_words(passage_words, rank) VALUES('hashsize', "
                + std::to_string(pendingWords) + ")")
                .c_str());
    }
    return SQLITE_OK;
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

TextIndex::~TextIndex()
{
    sqlite3_close_v2(m_database);
}

std::vector<std::pair<std::string, TextIndex::IndexedBook>> TextIndex::booksOf(
    const std::string& folder, const std::string& after, std::size_t most)
{
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<std::string, IndexedBook>> books;
    Statement list(m_database,
        "SELECT name, stamp, package, readable FROM book WHERE folder = ?1 AND name > ?2"
        " ORDER BY name LIMIT ?3");
    list.bind(1, folder);
    list.bind(2, after);
    list.bind(3, std::int64_t(std::min<std::size_t>(most, INT64_MAX)));
    while (list.step() == SQLITE_ROW)
        books.emplace_back(
            list.bytes(0), IndexedBook { list.bytes(1), list.bytes(2), list.integer(3) != 0 });
    return books;
}

bool TextIndex::deletePassages(std::int64_t book)
{
    Statement range(m_database, "SELECT first, last FROM book WHERE id = ?1");
    range.bind(1, book);
    if (range.step() != SQLITE_ROW)
        return false;
    const std::int64_t first = range.integer(0), last = range.integer(1);
    // The words table keeps no text: what it took out is given again, as it was written.
    Statement blocks(
        m_database, "SELECT id, last, passages FROM passage_block WHERE id BETWEEN ?1 AND ?2");
    Statement forget(m_database,
        "INSERT INTO passage_words(passage_words, rowid, words) VALUES('delete', ?1, ?2)");
    blocks.bind(1, first);
    blocks.bind(2, last);
    while (blocks.step() == SQLITE_ROW) {
        const std::int64_t id = blocks.integer(0);
        auto passages = unpackPassages(blocks.view(2));
        // Without its text a passage's words cannot be taken out: the damaged index is emptied
        // instead, and every book is read again as the index is disposable.
        if (!passages || std::int64_t(passages->size()) != blocks.integer(1) - id + 1) {
            blocks.reset();
            return execute(m_database,
                       "INSERT INTO passage_words(passage_words) VALUES('delete-all');"
                       " DELETE FROM passage_block; DELETE FROM chapter; DELETE FROM book;")
                == SQLITE_OK;
        }
        for (std::size_t index = 0; index < passages->size(); ++index) {
            const std::string words = indexedWords((*passages)[index].text); // bound, not copied
            forget.bind(1, id + std::int64_t(index));
            forget.bindText(2, words);
            if (forget.step() != SQLITE_DONE)
                return false;
            forget.reset();
        }
    }
    if (blocks.code() != SQLITE_DONE)
        return false;
    Statement drop(m_database, "DELETE FROM passage_block WHERE id BETWEEN ?1 AND ?2");
    drop.bind(1, first);
    drop.bind(2, last);
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
    PassagePacker packer;
    return replaceBook(folder, name, indexed, packBook(passages, packer));
}

bool TextIndex::replaceBook(const std::string& folder, const std::string& name,
    const IndexedBook& indexed, PackedBook passages)
{
    if (passages.failed)
        return false;
    std::lock_guard lock(m_mutex);
    return writeInTransaction(m_database, [&] {
        if (auto old = bookId(m_database, folder, name); old && !deletePassages(*old))
            return false;
        // The book's passages are numbered on from the last block's last.
        Statement lastBlock(m_database, "SELECT last FROM passage_block ORDER BY id DESC LIMIT 1");
        const int found = lastBlock.step();
        if (found != SQLITE_ROW && found != SQLITE_DONE)
            return false;
        const std::int64_t first = (found == SQLITE_ROW ? lastBlock.integer(0) : 0) + 1;
        const auto count = std::int64_t(passages.words.size());
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
        addBook.bind(8, count ? first : 0);
        addBook.bind(9, count ? first + count - 1 : -1);
        if (addBook.step() != SQLITE_DONE)
            return false;
        const std::int64_t book = sqlite3_last_insert_rowid(m_database);

        Statement addBlock(m_database,
            "INSERT INTO passage_block(id, last, book, passages) VALUES(?1, ?2, ?3, ?4)");
        // What is written is let go at once: a large book's words and blocks are not held beside
        // the engine's own copy of them.
        for (PackedBook::Block& block : passages.blocks) {
            addBlock.bind(1, first + std::int64_t(block.first));
            addBlock.bind(2, first + std::int64_t(block.end) - 1);
            addBlock.bind(3, book);
            addBlock.bind(4, block.packed);
            if (addBlock.step() != SQLITE_DONE)
                return false;
            addBlock.reset();
            std::string().swap(block.packed);
        }
        Statement addWords(m_database, "INSERT INTO passage_words(rowid, words) VALUES(?1, ?2)");
        for (std::size_t index = 0; index < passages.words.size(); ++index) {
            addWords.bind(1, first + std::int64_t(index));
            addWords.bindText(2, passages.words[index]); // bound, not copied
            if (addWords.step() != SQLITE_DONE)
                return false;
            addWords.reset();
            std::string().swap(passages.words[index]);
        }
        Statement addCommon(m_database,
            "INSERT INTO common_word(word, count) VALUES(?1, ?2)"
            " ON CONFLICT(word) DO UPDATE SET count = count + excluded.count");
        for (const auto& [word, count] : passages.commonWords) {
            addCommon.bindText(1, word);
            addCommon.bind(2, std::int64_t(count));
            if (addCommon.step() != SQLITE_DONE)
                return false;
            addCommon.reset();
        }
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
    std::int64_t book, const PassageQuery& query, const std::string& expression, std::size_t most)
{
    Statement range(m_database, "SELECT first, last FROM book WHERE id = ?1");
    range.bind(1, book);
    if (range.step() != SQLITE_ROW)
        return std::vector<Found> {};
    Statement matches(m_database,
        "SELECT rowid FROM passage_words WHERE passage_words MATCH ?1"
        " AND rowid BETWEEN ?2 AND ?3 ORDER BY rowid LIMIT ?4");
    matches.bindText(1, expression);
    matches.bind(2, range.integer(0));
    matches.bind(3, range.integer(1));
    matches.bind(4, std::int64_t(std::min<std::size_t>(most, INT64_MAX)));
    std::vector<std::int64_t> ids;
    while (matches.step() == SQLITE_ROW)
        ids.push_back(matches.integer(0));
    if (matches.code() != SQLITE_DONE)
        return searchFailure(m_database);
    return passagesAt(book, ids, query);
}

foundation::Result<std::vector<TextIndex::Found>> TextIndex::passagesAt(
    std::int64_t book, const std::vector<std::int64_t>& ids, const PassageQuery& query)
{
    Statement block(m_database,
        "SELECT id, last, passages FROM passage_block WHERE id <= ?1 ORDER BY id DESC LIMIT 1");
    Statement chapter(m_database, "SELECT title FROM chapter WHERE book = ?1 AND document = ?2");
    // Matches of a book lie close together: a block unpacked serves all of them it holds.
    std::int64_t unpackedId = -1;
    std::vector<Passage> unpacked;
    std::vector<Found> found;
    for (std::size_t at = 0; at < ids.size(); ++at) {
        const std::int64_t id = ids[at];
        if (unpackedId < 0 || id < unpackedId || id - unpackedId >= std::int64_t(unpacked.size())) {
            block.bind(1, id);
            if (block.step() != SQLITE_ROW) {
                block.reset();
                return searchFailure(m_database);
            }
            unpackedId = block.integer(0);
            // Unpacked as far as the last passage asked for that the block holds.
            std::int64_t furthest = id;
            for (std::size_t later = at + 1;
                 later < ids.size() && ids[later] > furthest && ids[later] <= block.integer(1);
                 ++later)
                furthest = ids[later];
            // A damaged block's passages are found without a place or a snippet.
            unpacked = unpackPassages(block.view(2), std::size_t(furthest - unpackedId + 1))
                           .value_or(std::vector<Passage> {});
            block.reset();
        }
        Found passage;
        if (const auto at = std::size_t(id - unpackedId); at < unpacked.size()) {
            const Passage& kept = unpacked[at];
            passage.document = kept.document;
            passage.offset = kept.offset;
            chapter.bind(1, book);
            chapter.bind(2, std::int64_t(kept.document));
            if (chapter.step() == SQLITE_ROW)
                passage.chapter = chapter.bytes(0);
            chapter.reset();
            auto snippet = snippetOf(kept.text, query.marked, passage.chapter);
            passage.snippet = std::move(snippet.text);
            passage.marks = std::move(snippet.marks);
        }
        found.push_back(std::move(passage));
    }
    return found;
}

foundation::Result<std::vector<TextIndex::FoundBook>> TextIndex::search(
    const std::string& folder, const PassageQuery& query, std::size_t books, std::size_t perBook)
{
    std::lock_guard lock(m_mutex);
    // Ordering every match by relevance costs as much as the matches are many: a common word
    // in a large library would take seconds. So would scoring by bm25, which counts every
    // passage holding each word (50 ms a common word over 1 GB of text). The first candidates
    // found are taken instead, and their books ordered by how many of them each holds: the book
    // that speaks most of the words first. The matches are read as the engine finds them, and no
    // further than the books weighed.
    //
    // A prefix's words are gathered anew by each query that holds it (60 ms for a common one
    // over 1 GB): the books' first passages are taken from the candidates, not asked for again.
    const std::string expression = query.completing.empty()
        ? query.expression
        : query.expressionCompleting(commonCompletions(query.completing));
    Statement ranked(m_database,
        "SELECT passage_words.rowid, b.id FROM passage_words JOIN book b ON b.id = (SELECT id"
        " FROM book WHERE first <= passage_words.rowid ORDER BY first DESC LIMIT 1)"
        " WHERE passage_words MATCH ?1 AND b.folder = ?3 LIMIT ?2");
    ranked.bindText(1, expression);
    ranked.bind(2, std::int64_t(rankedCandidates));
    ranked.bind(3, folder);
    struct Candidate {
        std::int64_t book;
        std::vector<std::int64_t> passages; // its first matches, perBook at most
        std::size_t held = 0;
    };
    std::vector<Candidate> candidates;
    int rows = 0;
    std::int64_t lastBook = -1;
    // The matches come in the order of their numbers, so a book's matches come together.
    while (ranked.step() == SQLITE_ROW) {
        const std::int64_t book = ranked.integer(1);
        if (candidates.empty() || candidates.back().book != book) {
            if (candidates.size() == rankedBooks)
                break; // every book weighed has all its matches
            candidates.push_back({ book, {}, 0 });
        }
        ++rows;
        lastBook = book;
        Candidate& candidate = candidates.back();
        ++candidate.held;
        if (candidate.passages.size() < perBook)
            candidate.passages.push_back(ranked.integer(0));
    }
    if (ranked.code() != SQLITE_DONE && ranked.code() != SQLITE_ROW)
        return searchFailure(m_database);
    std::stable_sort(candidates.begin(), candidates.end(),
        [](const Candidate& a, const Candidate& b) { return a.held > b.held; });
    if (candidates.size() > books)
        candidates.resize(books);
    Statement details(m_database, "SELECT name, title, author FROM book WHERE id = ?1");
    std::vector<FoundBook> found;
    for (Candidate& candidate : candidates) {
        details.bind(1, candidate.book);
        if (details.step() != SQLITE_ROW) {
            details.reset();
            continue; // taken out by another Pagewyn a moment ago
        }
        FoundBook book { details.bytes(0), details.bytes(1), details.bytes(2), {}, false };
        details.reset();
        // The candidates may stop inside the last book's matches: its own are asked for. Those
        // of every other book are all among them.
        const bool cut
            = rows == rankedCandidates && candidate.book == lastBook && candidate.held <= perBook;
        auto passages = cut ? matchesIn(candidate.book, query, expression, perBook + 1)
                            : passagesAt(candidate.book, candidate.passages, query);
        if (!passages)
            return passages.error();
        book.more = cut ? passages->size() > perBook : candidate.held > perBook;
        passages->resize(std::min(passages->size(), perBook));
        book.passages = std::move(*passages);
        found.push_back(std::move(book));
    }
    return found;
}

std::vector<std::string> TextIndex::commonCompletions(const std::string& start)
{
    // Enough to find passages for most of what is typed, few enough for each to cost little.
    constexpr int mostCompletions = 16;
    // The words that start so sort from start up to start with its last byte raised.
    std::string past = start;
    if (past.empty())
        return {};
    past.back() = char(static_cast<unsigned char>(past.back()) + 1);
    Statement common(m_database,
        "SELECT word FROM common_word WHERE word >= ?1 AND word < ?2 ORDER BY count DESC"
        " LIMIT ?3");
    common.bindText(1, start);
    common.bindText(2, past);
    common.bind(3, std::int64_t(mostCompletions));
    std::vector<std::string> words;
    while (common.step() == SQLITE_ROW)
        words.push_back(common.bytes(0));
    return words;
}

foundation::Result<std::vector<TextIndex::Found>> TextIndex::searchBook(
    const std::string& folder, const std::string& name, const PassageQuery& query)
{
    std::lock_guard lock(m_mutex);
    auto book = bookId(m_database, folder, name);
    if (!book)
        return std::vector<Found> {};
    return matchesIn(*book, query, query.expression, SIZE_MAX);
}

void TextIndex::merge(const std::function<bool()>& stopped)
{
    // A step writes about this many pages; the lock is let go between steps, so searches wait
    // for one step at most.
    constexpr int pagesAStep = 64;
    auto step = [](int pages) {
        return "INSERT INTO passage_words(passage_words, rank) VALUES('merge', "
            + std::to_string(pages) + ")";
    };
    // The first step gathers the lists of every level into one merge (a negative count), so that
    // the word lists end in one piece whatever the levels they were written at.
    bool first = true;
    while (!(stopped && stopped())) {
        std::lock_guard lock(m_mutex);
        const auto before = sqlite3_total_changes64(m_database);
        if (execute(m_database, step(first ? -pagesAStep : pagesAStep).c_str()) != SQLITE_OK)
            return;
        first = false;
        // A step that found nothing to merge changes next to nothing.
        if (sqlite3_total_changes64(m_database) - before < 2)
            break;
    }
    // The journal grew as large as the largest write since the last checkpoint and stays so:
    // once merged, its pages go into the file and it is emptied.
    std::lock_guard lock(m_mutex);
    execute(m_database, "PRAGMA incremental_vacuum; PRAGMA wal_checkpoint(TRUNCATE)");
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
