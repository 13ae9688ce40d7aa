// The library's text index: what a person finds after books come, change, go, or a run is cut
// short, and what each kind of query finds in small books written for it.
#include "frameworks/folioreader/textindex/TextIndex.h"
#include "frameworks/folioreader/search/PageSearch.h"
#include "frameworks/folioreader/textindex/PassageBlocks.h"
#include "frameworks/folioreader/textindex/TextIndexer.h"
#include "frameworks/folioreader/textindex/updateTextIndex.h"
#include "tests/library/LibraryFolder.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/WaitUntil.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

using fixtures::EpubFixture;
using fixtures::LibraryFolder;
using folioreader::parsePassageQuery;
using folioreader::QueryWords;
using folioreader::TextIndex;

// The names of the books holding passages that match, with each book's first snippet.
std::vector<std::string> foundBooks(TextIndex& index, const std::string& folder,
    const std::string& typed, QueryWords words = QueryWords::complete)
{
    auto query = parsePassageQuery(typed, words);
    if (!query)
        return { "error: " + query.error().description() };
    auto found = index.search(folder, *query, 20, 3);
    if (!found)
        return { "error: " + found.error().description() };
    std::vector<std::string> names;
    for (const auto& book : *found)
        names.push_back(book.name);
    return names;
}

EpubFixture bookSaying(
    const std::string& title, const std::string& first, const std::string& second)
{
    return EpubFixture {
        .title = title, .author = "Ann", .chapters = { { "Opening", first }, { "Closing", second } }
    };
}

folioreader::TextIndexUpdate settledAtOnce()
{
    return { .unsettledWindow = std::chrono::nanoseconds(0) };
}

TEST(TextIndex, followsTheLibraryThroughChangesRestartsAndStops)
{
    LibraryFolder library;
    fixtures::TemporaryFolder cache;
    const std::string indexPath = cache.file("text-index.sqlite3");
    library.addBook("a.epub", bookSaying("Alpha", "Call me Ishmael.", "The whale surfaced."), 1000);
    library.addBook(
        "b.epub", bookSaying("Beta", "It was the best of times.", "A whale of a time."), 1000);
    library.addBook(
        "c.epub", bookSaying("Gamma", "Happy families are all alike.", "Nothing of whales."), 1000);
    const std::vector<std::string> names { "a.epub", "b.epub", "c.epub" };

    auto index = TextIndex::open(indexPath);
    ASSERT_TRUE(index);
    // Stopped after the first book: what was read is kept, and the next update reads the rest.
    std::atomic<bool> oneRead { false }; // asked on the reading thread too
    auto stopped = updateTextIndex(*index, library.path(), names,
        { .unsettledWindow = std::chrono::nanoseconds(0),
            .stopped = [&] { return oneRead.load(); },
            .progress = [&](std::size_t, std::size_t) { oneRead = true; } });
    EXPECT_FALSE(stopped.complete);
    EXPECT_EQ(stopped.read, 1u);
    EXPECT_EQ(
        foundBooks(*index, library.path(), "ishmael"), (std::vector<std::string> { "a.epub" }));

    index.reset();
    index = TextIndex::open(indexPath);
    auto resumed = updateTextIndex(*index, library.path(), names, settledAtOnce());
    EXPECT_TRUE(resumed.complete);
    EXPECT_EQ(resumed.read, 2u);
    EXPECT_EQ(resumed.indexed, 3u);
    auto whale = foundBooks(*index, library.path(), "whale");
    std::sort(whale.begin(), whale.end());
    EXPECT_EQ(whale, (std::vector<std::string> { "a.epub", "b.epub" }));

    // Unchanged books are not read again.
    EXPECT_EQ(updateTextIndex(*index, library.path(), names, settledAtOnce()).read, 0u);

    // A book replaced loses its old words; a book deleted is found no more.
    library.addBook("a.epub", bookSaying("Alpha", "Loomings again.", "No more sea beasts."), 2000);
    std::filesystem::remove(library.itemPath("b.epub"));
    auto changed = updateTextIndex(*index, library.path(), { "a.epub", "c.epub" }, settledAtOnce());
    EXPECT_EQ(changed.read, 1u);
    EXPECT_EQ(foundBooks(*index, library.path(), "whale"), std::vector<std::string> {});
    EXPECT_EQ(
        foundBooks(*index, library.path(), "loomings"), (std::vector<std::string> { "a.epub" }));
    // Another folder's books are not this library's.
    EXPECT_EQ(
        foundBooks(*index, library.path() + "/other", "loomings"), std::vector<std::string> {});

    // A book changed a moment ago is left for a later update.
    library.addBook("c.epub", bookSaying("Gamma", "Fresh ink.", "Still wet."), std::time(nullptr));
    auto fresh = updateTextIndex(*index, library.path(), { "a.epub", "c.epub" },
        { .unsettledWindow = std::chrono::seconds(60) });
    EXPECT_FALSE(fresh.complete);
    EXPECT_EQ(foundBooks(*index, library.path(), "ink"), std::vector<std::string> {});
    EXPECT_TRUE(library.takeConsole().empty());
}

TEST(TextIndex, damagedFileIsMadeAnewAndUnreadableBookIsSaidOnce)
{
    LibraryFolder library;
    fixtures::TemporaryFolder cache;
    const std::string indexPath = cache.file("text-index.sqlite3");
    std::ofstream(indexPath, std::ios::binary) << std::string(8192, 'x');
    library.addBook("good.epub", bookSaying("Good", "Readable words.", "More of them."), 1000);
    library.addBook(
        "bad.epub", EpubFixture { .breakage = fixtures::Breakage::malformedPackage }, 1000);
    std::ofstream(library.itemPath("junk.epub")) << "not a book";
    // A book one of whose chapters is missing is searched in the others, and the missing one said.
    bookSaying("Part", "A chapter kept.", "A chapter lost.")
        .writeUnpacked(library.itemPath("part.epub"));
    std::filesystem::remove(library.itemPath("part.epub") + "/OEBPS/text/chapter-2.xhtml");
    const std::vector<std::string> names { "bad.epub", "good.epub", "junk.epub", "part.epub" };

    auto index = TextIndex::open(indexPath);
    ASSERT_TRUE(index);
    auto first = updateTextIndex(*index, library.path(), names, settledAtOnce());
    EXPECT_TRUE(first.complete);
    EXPECT_EQ(first.indexed, 4u);
    auto said = library.takeConsole();
    ASSERT_EQ(said.size(), 3u);
    EXPECT_TRUE(said[0].starts_with("Can't index: ")) << said[0];
    EXPECT_TRUE(said[2].starts_with("Can't index: \"" + library.itemPath("part.epub") + "\": "))
        << said[2];
    EXPECT_TRUE(said[2].ends_with(" (the rest of the book is searched)")) << said[2];
    EXPECT_EQ(
        foundBooks(*index, library.path(), "readable"), (std::vector<std::string> { "good.epub" }));
    EXPECT_EQ(
        foundBooks(*index, library.path(), "kept"), (std::vector<std::string> { "part.epub" }));
    // Never retried while unchanged.
    EXPECT_EQ(updateTextIndex(*index, library.path(), names, settledAtOnce()).read, 0u);
    EXPECT_TRUE(library.takeConsole().empty());

    // An index a Pagewyn of another version wrote, holding books: made anew, and filled again.
    index.reset();
    sqlite3* older = nullptr;
    ASSERT_EQ(sqlite3_open(indexPath.c_str(), &older), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(older, "PRAGMA user_version = 2", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(older);
    index = TextIndex::open(indexPath);
    ASSERT_TRUE(index);
    EXPECT_EQ(foundBooks(*index, library.path(), "readable"), std::vector<std::string> {});
    EXPECT_TRUE(updateTextIndex(*index, library.path(), names, settledAtOnce()).complete);
    EXPECT_EQ(
        foundBooks(*index, library.path(), "readable"), (std::vector<std::string> { "good.epub" }));
    library.takeConsole();

    // A passage's kept text damaged: found without a snippet; the index emptied when its book
    // changes, rather than left half-written or retried in a loop.
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(indexPath.c_str(), &database), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(database, "UPDATE passage_block SET passages = x'ffffffff00'", nullptr,
                  nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(database);
    auto query = parsePassageQuery("readable", QueryWords::complete);
    auto found = index->search(library.path(), *query, 20, 3);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(found->front().passages.front().snippet, "");
    library.addBook("good.epub", bookSaying("Good", "Rewritten words.", "More of them."), 2000);
    auto rebuilt = updateTextIndex(*index, library.path(), names, settledAtOnce());
    EXPECT_EQ(rebuilt.read, 1u);
    EXPECT_EQ(foundBooks(*index, library.path(), "rewritten"),
        (std::vector<std::string> { "good.epub" }));
    EXPECT_EQ(index->booksOf(library.path(), "", 10).size(), 1u);
}

// A library of one-document books written as markup, indexed through the same cutting as a
// book's documents.
class WrittenPassages {
public:
    WrittenPassages()
        : m_index(TextIndex::open(m_cache.file("index.sqlite3")))
    {
    }

    void add(const std::string& name, const std::string& body)
    {
        folioreader::BookPassages book;
        book.title = name;
        book.chapters = { "One" };
        book.passages = folioreader::passagesOf("<html><body>" + body + "</body></html>", 0);
        ASSERT_TRUE(m_index->replaceBook("/library", name, { "stamp", "", true }, book));
    }
    std::vector<std::string> find(const std::string& typed, QueryWords words = QueryWords::complete)
    {
        return foundBooks(*m_index, "/library", typed, words);
    }
    TextIndex& index() { return *m_index; }

private:
    fixtures::TemporaryFolder m_cache;
    std::shared_ptr<TextIndex> m_index;
};

TEST(TextIndex, findsWhatEachKindOfQueryAsksFor)
{
    WrittenPassages library;
    library.add("moby", "<p>Call me Ishmael. Some years ago, never mind how long precisely.</p>");
    library.add(
        "scrambled", "<p>Ishmael was his name; call him what you like, me he never met.</p>");
    library.add("accents", "<p>Le café de la Straße était fermé.</p>");
    library.add("chinese", "<p>我们今天去东京都厅参观。</p>");
    library.add("japanese", "<p>吾輩は猫である。名前はまだ無い。</p>");
    library.add("korean", "<p>대한민국의수도는서울입니다</p>");
    // كَتَبَ الولد
    library.add(
        "arabic", "<p>\u0643\u064E\u062A\u064E\u0628\u064E \u0627\u0644\u0648\u0644\u062F</p>");
    library.add("hebrew", "<p>\u05E9\u05B8\u05C1\u05DC\u05D5\u05B9\u05DD</p>"); // שָׁלוֹם
    library.add(
        "ruby", "<p><ruby>漢<rp>(</rp><rt>かん</rt><rp>)</rp>字<rt>じ</rt></ruby>を読む</p>");
    library.add("hidden",
        "<p>Seen words.</p><script>var secretword = 1;</script>"
        "<style>p { color: invisibleink }</style>");
    library.add("syntax", "<p>Ratio 3:4 is NEAR enough, said the star * of the show.</p>");

    using Names = std::vector<std::string>;
    struct Case {
        const char* typed;
        Names found;
        QueryWords words = QueryWords::complete;
    };
    const Case cases[] = {
        { "\"call me ishmael\"", { "moby" } },
        { "ishmael call me", { "moby", "scrambled" } },
        { "CALL ME", { "moby", "scrambled" } },
        { "ishm", {}, QueryWords::complete },
        { "ishm", { "moby", "scrambled" }, QueryWords::beingTyped },
        { "ishmael ", { "moby", "scrambled" }, QueryWords::beingTyped },
        { "never ishmael x", { "moby", "scrambled" }, QueryWords::beingTyped },
        { "ca", {}, QueryWords::beingTyped },
        { "cafe strasse", { "accents" } },
        { "CAFÉ", { "accents" } },
        { "东京都", { "chinese" } },
        { "\"东京都厅\"", { "chinese" } },
        { "京", { "chinese" } },
        { "厅", { "chinese" } },
        { "东京 参观", { "chinese" } },
        { "猫である", { "japanese" } },
        { "名前", { "japanese" } },
        { "서울", { "korean" } },
        { "\u0643\u062A\u0628", { "arabic" } }, // كتب without its vowel marks
        { "\u0643\u064E\u062A\u064E\u0628\u064E", { "arabic" } },
        { "\u05E9\u05DC\u05D5\u05DD", { "hebrew" } },
        { "漢字", { "ruby" } },
        { "かん", {} },
        { "seen", { "hidden" } },
        { "secretword", {} },
        { "invisibleink", {} },
        { "3:4", { "syntax" } },
        { "NEAR", { "syntax" } },
        { "star *", { "syntax" } },
        { "^ratio", { "syntax" } },
        { "\"unbalanced ratio", {} },
        { "ratio\" 3", { "syntax" } },
        { "ishmael\x01\x02 call", { "moby", "scrambled" } },
        { "* ^ : \" \"", { "error: nothing to search for" } },
        { "", { "error: nothing to search for" } },
        { "NEAR(a b) OR x*", {} },
    };
    for (const Case& each : cases) {
        auto found = library.find(each.typed, each.words);
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, each.found) << each.typed;
    }
    // A query as long as anything pasted is searched, cut, not refused.
    EXPECT_EQ(library.find(std::string(10000, 'a')), Names {});
}

TEST(TextIndex, aWordBeingTypedIsSearchedAsTheLibrarysCommonestCompletions)
{
    // Each book says 250 words twice, and one more word of its own: "thermal" three times in
    // one, among its commonest; "thermos" once in the other, too rare to be counted.
    auto body = [](const std::string& prefix, const std::string& own, int times) {
        std::string text = "<p>";
        for (int word = 0; word < 250; ++word)
            text += prefix + std::to_string(word) + " " + prefix + std::to_string(word) + " ";
        for (int time = 0; time < times; ++time)
            text += own + " ";
        return text + "</p>";
    };
    WrittenPassages library;
    library.add("warm", body("wax", "thermal", 3));
    library.add("flask", body("vox", "thermos", 1));
    using Names = std::vector<std::string>;
    EXPECT_EQ(library.find("therm", QueryWords::beingTyped), Names { "warm" });
    // A start no common word has is searched as the start of every word.
    EXPECT_EQ(library.find("thermo", QueryWords::beingTyped), Names { "flask" });
    EXPECT_EQ(library.find("therm*"), Names {});
    EXPECT_EQ(library.find("thermos"), Names { "flask" });
}

TEST(TextIndex, passagesKeepTheirPlaceAndShowTheWordsMarked)
{
    WrittenPassages library;
    const std::string body = "<p>Short.</p><p>Here the \u00C9lan of the writer shows.</p>";
    library.add("book", body);
    auto query = parsePassageQuery("elan", QueryWords::complete);
    ASSERT_TRUE(query);
    auto found = library.index().searchBook("/library", "book", *query);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    const auto& passage = found->front();
    EXPECT_EQ(passage.chapter, "One");
    EXPECT_EQ(passage.document, 0u);
    EXPECT_EQ(passage.offset, 0u);
    ASSERT_EQ(passage.marks.size(), 1u);
    auto [from, to] = passage.marks.front();
    // The snippet is ASCII up to the mark, so UTF-16 and byte counts agree there.
    EXPECT_EQ(passage.snippet, "Short. Here the \u00C9lan of the writer shows.");
    EXPECT_EQ(passage.snippet.substr(from, 5), "\u00C9lan");
    EXPECT_EQ(to - from, 4u);

    // The place is where find in the book counts the passage's first character.
    const std::string xhtml = "<html><body><p>x</p>" + std::string(400, 'y')
        + "<p>\U0001F600 tail words here</p></body></html>";
    auto passages = folioreader::passagesOf(xhtml, 3);
    ASSERT_EQ(passages.size(), 2u);
    std::uint64_t matchStart = 0;
    folioreader::searchDocument(xhtml, folioreader::foldForSearch("\U0001F600 tail"),
        [&](const folioreader::SearchMatch& match) {
            matchStart = match.start;
            return false;
        });
    EXPECT_EQ(passages[1].document, 3u);
    EXPECT_EQ(passages[1].offset, matchStart);
    EXPECT_EQ(passages[1].text, "\U0001F600 tail words here");
}

// Paragraphs of about 400 characters, a passage each, all saying "telling".
std::string tellingParagraphs(int count, int rare = -1)
{
    std::string body;
    for (int paragraph = 0; paragraph < count; ++paragraph) {
        body += "<p>Paragraph " + std::to_string(paragraph) + " telling";
        for (int word = 0; word < 60; ++word)
            body += " word" + std::to_string(word);
        body += paragraph == rare ? " quixotic.</p>" : ".</p>";
    }
    return body;
}

TEST(TextIndex, aLongBookKeepsEveryPassageAcrossItsBlocks)
{
    WrittenPassages library;
    // 300 passages: four blocks of them.
    const std::string body = tellingParagraphs(300, 222);
    library.add("first", "<p>One telling word.</p>");
    library.add("long", body);
    library.add("short", "<p>A telling word.</p>");
    const auto expected = folioreader::passagesOf("<html><body>" + body + "</body></html>", 0);

    auto every = library.index().searchBook(
        "/library", "long", *parsePassageQuery("telling", QueryWords::complete));
    ASSERT_TRUE(every);
    ASSERT_EQ(every->size(), expected.size());
    for (std::size_t index = 0; index < expected.size(); ++index)
        EXPECT_EQ((*every)[index].offset, expected[index].offset) << index;
    auto rare = library.index().searchBook(
        "/library", "long", *parsePassageQuery("quixotic", QueryWords::complete));
    ASSERT_TRUE(rare);
    ASSERT_EQ(rare->size(), 1u);
    EXPECT_NE(rare->front().snippet.find("quixotic"), std::string::npos);
    EXPECT_EQ(library.find("quixotic"), (std::vector<std::string> { "long" }));
    // The book holding the words most often comes first.
    EXPECT_EQ(library.find("telling"), (std::vector<std::string> { "long", "first", "short" }));

    // Replaced, its words from every block are gone, and the other book's are kept.
    library.add("long", "<p>Now brief.</p>");
    EXPECT_EQ(library.find("quixotic"), std::vector<std::string> {});
    EXPECT_EQ(library.find("word0"), std::vector<std::string> {});
    EXPECT_EQ(library.find("telling"), (std::vector<std::string> { "first", "short" }));
    EXPECT_EQ(library.find("brief"), (std::vector<std::string> { "long" }));

    // The first 500 matches a search weighs stop two passages into a book: the book's own are
    // asked for, so it shows as many as the others and says it holds more.
    WrittenPassages cut;
    cut.add("before", tellingParagraphs(498));
    cut.add("after", tellingParagraphs(5));
    auto found = cut.index().search(
        "/library", *parsePassageQuery("telling", QueryWords::complete), 20, 3);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 2u);
    for (const auto& book : *found) {
        EXPECT_EQ(book.passages.size(), 3u) << book.name;
        EXPECT_TRUE(book.more) << book.name;
        EXPECT_EQ(book.passages.back().offset, expected[2].offset) << book.name;
    }
    EXPECT_EQ(found->back().name, "after");

    // The matches of the first 100 books are weighed: a 101st book saying it most is not reached.
    WrittenPassages many;
    for (int book = 0; book < 100; ++book)
        many.add("book" + std::to_string(book), tellingParagraphs(1));
    many.add("last", tellingParagraphs(5));
    auto weighed = many.index().search(
        "/library", *parsePassageQuery("telling", QueryWords::complete), 200, 3);
    ASSERT_TRUE(weighed);
    ASSERT_EQ(weighed->size(), 100u);
    EXPECT_EQ(weighed->back().name, "book99");
    EXPECT_FALSE(weighed->back().more);

    // A block's bytes cut short or changed unpack to nothing rather than to wrong passages.
    folioreader::PassagePacker packer;
    const std::string packed = packer.pack(expected, 0, 80);
    ASSERT_EQ(folioreader::unpackPassages(packed)->size(), 80u);
    // A search unpacks a block only as far as the passages it shows.
    for (std::size_t count : { 1u, 30u, 80u, 81u }) {
        auto first = folioreader::unpackPassages(packed, count);
        ASSERT_TRUE(first) << count;
        ASSERT_EQ(first->size(), std::min<std::size_t>(count, 80)) << count;
        EXPECT_EQ(first->back().text, expected[first->size() - 1].text) << count;
        EXPECT_EQ(first->back().offset, expected[first->size() - 1].offset) << count;
    }
    std::string longer = packed;
    longer[0] = char(longer[0] + 1);
    for (const std::string& damaged : { packed.substr(0, packed.size() / 2), packed.substr(0, 3),
             longer, std::string(16, '\xff') })
        EXPECT_FALSE(folioreader::unpackPassages(damaged)) << damaged.size();
}

TEST(TextIndex, booksGoneAreTakenOutOverEveryPageOfALargeLibrary)
{
    // Indexed books are gone over a thousand at a time: of 2,100, every third is listed no more.
    WrittenPassages library;
    std::vector<std::string> listed, kept;
    for (int number = 0; number < 2100; ++number) {
        const std::string name = "b" + std::to_string(number) + ".epub";
        library.add(name, "<p>Word.</p>");
        if (number % 3 != 0)
            listed.push_back(name);
    }
    listed.push_back("new.epub");
    // No book is on disk: the listed ones are left for later, not taken out.
    auto outcome = updateTextIndex(library.index(), "/library", listed, settledAtOnce());
    EXPECT_FALSE(outcome.complete);
    for (const auto& [name, book] : library.index().booksOf("/library", "", 5000))
        kept.push_back(name);
    listed.pop_back();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(kept, listed);
}

TEST(TextIndex, indexerFollowsTheNewestListAndStopsWhenDestroyed)
{
    LibraryFolder library;
    fixtures::TemporaryFolder cache;
    for (int number = 0; number < 40; ++number) {
        library.addBook("book" + std::to_string(number) + ".epub",
            bookSaying("Book", "Chapter text " + std::to_string(number), "Shared words."), 1000);
    }
    std::vector<std::string> all;
    for (int number = 0; number < 40; ++number)
        all.push_back("book" + std::to_string(number) + ".epub");
    auto index = TextIndex::open(cache.file("index.sqlite3"));
    {
        folioreader::TextIndexer indexer(index, settledAtOnce());
        indexer.request(library.path(), { all.begin(), all.begin() + 2 });
        indexer.request(library.path(), all);
        ASSERT_TRUE(fixtures::waitUntil([&] { return !indexer.progress().working; }));
        EXPECT_EQ(indexer.progress().indexed, 40u);
        EXPECT_EQ(indexer.progress().total, 40u);
        EXPECT_EQ(foundBooks(*index, library.path(), "\"chapter text 39\""),
            std::vector<std::string> { "book39.epub" });
        // A new list with a book gone: it is taken out.
        indexer.request(library.path(), { all.begin() + 1, all.end() });
        ASSERT_TRUE(fixtures::waitUntil([&] { return !indexer.progress().working; }));
        EXPECT_EQ(
            foundBooks(*index, library.path(), "\"chapter text 0\""), std::vector<std::string> {});
        // Destroyed while it works: it stops at a book's end, and what it kept is whole.
        index->removeBook(library.path(), "book5.epub");
        indexer.request(library.path(), all);
    }
    auto rest = updateTextIndex(*index, library.path(), all, settledAtOnce());
    EXPECT_TRUE(rest.complete);
    EXPECT_LE(rest.read, 2u);

    // While a page is in use it reads nothing, then goes on; destroyed while waiting, it ends.
    for (bool destroyedWaiting : { false, true }) {
        SCOPED_TRACE(destroyedWaiting ? "destroyed waiting" : "waits, then reads");
        auto waiting = TextIndex::open(cache.file(destroyedWaiting ? "w2.sqlite3" : "w1.sqlite3"));
        std::atomic<int> asked = 0;
        std::atomic<bool> readWhileBusy = false;
        std::atomic<folioreader::TextIndexer*> watched = nullptr;
        auto update = settledAtOnce();
        update.busy = [&] {
            if (destroyedWaiting)
                return true;
            if (asked.fetch_add(1) >= 6)
                return false;
            if (auto* indexer = watched.load(); indexer && indexer->progress().indexed != 0)
                readWhileBusy = true;
            return true;
        };
        folioreader::TextIndexer indexer(waiting, update);
        watched = &indexer;
        indexer.request(library.path(), all);
        if (destroyedWaiting)
            continue;
        ASSERT_TRUE(fixtures::waitUntil([&] { return !indexer.progress().working; }));
        EXPECT_EQ(indexer.progress().indexed, 40u);
        EXPECT_GE(asked.load(), 6);
        EXPECT_FALSE(readWhileBusy.load());
    }
}

}
