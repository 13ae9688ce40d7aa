// The section index: first characters by grapheme cluster, distinct by bytes, in text order, and
// the row a tapped title jumps to.
#include "screen/IndexTitles.h"
#include "library/SortOrder.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using Titles = std::vector<std::string>;

BookList booksWithKeys(const std::vector<std::string>& keys)
{
    BookList books;
    int number = 0;
    for (auto& key : keys) {
        ++number;
        books.append(Book { key, key, "book" + std::to_string(number) + ".epub", {} });
    }
    return books;
}

TEST(IndexTitles, firstCharactersDistinctAndInTextOrder)
{
    struct Case {
        const char* what;
        std::vector<std::string> keys;
        Titles expected;
    };
    const std::vector<Case> cases {
        { "mixed case", { "apple", "Banana", "Avocado", "banana split", "Cherry" },
            { "A", "B", "C", "a", "b" } },
        { "case is not folded", { "alpha", "Alpha" }, { "A", "a" } },
        { "digits, capitals, small letters, then beyond ASCII",
            { "\xC3\x89"
              "clair",
                "Zebra", "apple", "9 lives", "\xD0\x96uk" },
            { "9", "Z", "a", "\xC3\x89", "\xD0\x96" } },
        { "a letter with a combining mark is one character", { "e\xCC\x81tude", "eagle" },
            { "e", "e\xCC\x81" } },
        { "a flag is one character", { "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7 Paris", "Rome" },
            { "R", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7" } },
        { "shared first characters give one entry", { "Moby", "Middlemarch", "Mansfield" },
            { "M" } },
        { "an empty key contributes nothing", { "", "Emma", "" }, { "E" } },
        { "no books, no index", {}, {} },
    };
    for (auto& example : cases) {
        auto books = booksWithKeys(example.keys);
        EXPECT_EQ(indexTitles(books, SortOrder::byTitle), example.expected) << example.what;
        EXPECT_EQ(indexTitles(books, SortOrder::byAuthor), example.expected)
            << example.what << " (authors)";
    }
}

TEST(IndexTitles, canonicallyEquivalentSpellingsAreTwoEntriesSortedTogether)
{
    // "É" precomposed and "E" with a combining acute: not the same bytes, so two entries, but
    // equal in text order, so they stand side by side after the ASCII letters.
    auto titles = indexTitles(booksWithKeys({ "\xC3\x89mile", "Zadig",
                                  "E\xCC\x81"
                                  "cole",
                                  "apple" }),
        SortOrder::byTitle);
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0], "Z");
    EXPECT_EQ(titles[1], "a");
    EXPECT_EQ((std::set<std::string> { titles[2], titles[3] }),
        (std::set<std::string> { "\xC3\x89", "E\xCC\x81" }));
}

TEST(IndexTitles, followTheSortOrdersKey)
{
    BookList books;
    books.append(Book { "Walden", "Thoreau", "w.epub", {} });
    books.append(Book { "Emma", "Austen", "e.epub", {} });
    EXPECT_EQ(indexTitles(books, SortOrder::byTitle), (Titles { "E", "W" }));
    EXPECT_EQ(indexTitles(books, SortOrder::byAuthor), (Titles { "A", "T" }));
    for (std::int64_t order :
        { SortOrder::recentlyOpened, std::int64_t(-1), std::int64_t(3), std::int64_t(99) })
        EXPECT_TRUE(indexTitles(books, order).empty()) << "order " << order;
}

TEST(IndexTitles, jumpFindsTheFirstBookInListOrderWhoseKeyStartsWithTheTitleAsWholeCharacters)
{
    const BookList fruit
        = booksWithKeys({ "apple", "Banana", "Avocado", "banana split", "Cherry" });
    // "e" is not the first character of "étude" written with a combining mark; "é" either way is.
    const BookList accents = booksWithKeys({ "e\xCC\x81tude", "eagle" });
    const BookList none;
    struct Case {
        const BookList* books;
        std::int64_t order;
        std::string title;
        std::optional<std::size_t> row;
    };
    const std::vector<Case> cases {
        { &fruit, SortOrder::byTitle, "a", 0 },
        { &fruit, SortOrder::byTitle, "A", 2 },
        { &fruit, SortOrder::byTitle, "b", 3 },
        { &fruit, SortOrder::byTitle, "B", 1 },
        { &fruit, SortOrder::byTitle, "Z", std::nullopt },
        { &fruit, SortOrder::byAuthor, "C", 4 },
        // In the recency order every key is empty: nothing begins with a letter.
        { &fruit, SortOrder::recentlyOpened, "a", std::nullopt },
        { &accents, SortOrder::byTitle, "e", 1 },
        { &accents, SortOrder::byTitle, "e\xCC\x81", 0 },
        { &accents, SortOrder::byTitle, "\xC3\xA9", 0 },
        { &none, SortOrder::byTitle, "a", std::nullopt },
    };
    for (auto& example : cases)
        EXPECT_EQ(rowForIndexTitle(*example.books, example.order, example.title), example.row)
            << example.title << " in order " << example.order;
}

}
