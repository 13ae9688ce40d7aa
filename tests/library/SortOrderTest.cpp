// The three orders: their text order and ties. The sort button's cycle is SortListTest's.
#include "library/SortOrder.h"
#include "library/BookList.h"
#include "library/ProgramState.h"

#include <gtest/gtest.h>

namespace {

using Titles = std::vector<std::string>;

Book book(std::string title, std::string author, long long added, std::string file = "")
{
    return Book { std::move(title), std::move(author),
        file.empty() ? "f" + std::to_string(added) + ".epub" : std::move(file),
        foundation::Date(foundation::Date::TimePoint(std::chrono::seconds(added))) };
}

Titles titles(const BookList& books)
{
    Titles result;
    for (const Book& b : books)
        result.push_back(b.title);
    return result;
}

class SortOrderTest : public ::testing::Test {
protected:
    void SetUp() override { resetProgramState(); }
    void TearDown() override { resetProgramState(); }
};

TEST_F(SortOrderTest, titleOrderIsByScalarValueWithoutCaseFolding)
{
    for (auto& b : { book("Zola", "", 1), book("austen", "", 2), book("Balzac", "", 3),
             book("", "", 4), book("\xC3\x89mile", "", 5), book("Bal", "", 6) })
        bookList().append(b);
    sortByTitle();
    EXPECT_EQ(
        titles(bookList()), (Titles { "", "Bal", "Balzac", "Zola", "austen", "\xC3\x89mile" }));
}

TEST_F(SortOrderTest, equalKeysKeepTheirOrderInEveryOrder)
{
    // Composed and decomposed spellings are the same title, so they tie as well.
    bookList().append(book("Caf\xC3\xA9", "Same", 3, "later.epub"));
    bookList().append(book("Cafe\xCC\x81", "Same", 1, "earlier.epub"));
    bookList().append(book("Alpha", "Same", 3, "tie.epub"));
    sortByTitle();
    EXPECT_EQ(bookList()[1].file, "later.epub");
    EXPECT_EQ(bookList()[2].file, "earlier.epub");
    sortByAuthor();
    EXPECT_EQ(bookList()[0].file, "tie.epub");
    EXPECT_EQ(bookList()[1].file, "later.epub");
    sortByRecency();
    EXPECT_EQ(bookList()[0].file, "tie.epub");
    EXPECT_EQ(bookList()[1].file, "later.epub");
    EXPECT_EQ(bookList()[2].file, "earlier.epub");
}

TEST_F(SortOrderTest, searchKeysFollowTheirBooksThroughEveryOrder)
{
    // Rearranged in place, cycle after cycle: a fixed point, a swap and longer cycles at once.
    const char* appended[] = { "E", "A", "C", "G", "B", "D", "F", "H" };
    for (int added = 0; added < 8; ++added)
        bookList().append(
            book(appended[added], std::string("by ") + appended[added], (added * 5) % 8));
    for (auto order :
        { +[] { sortByTitle(); }, +[] { sortByRecency(); }, +[] { sortByAuthor(); } }) {
        order();
        for (std::size_t i = 0; i < bookList().size(); ++i) {
            const Book& b = bookList()[i];
            EXPECT_EQ(bookList().searchKey(i), BookList::searchKeyOf(b.title, b.author)) << i;
            EXPECT_EQ(bookList().find(b.file), i);
        }
    }
    EXPECT_EQ(titles(bookList()), (Titles { "A", "B", "C", "D", "E", "F", "G", "H" }));
    sortByRecency();
    EXPECT_EQ(titles(bookList()), (Titles { "G", "F", "A", "B", "H", "C", "D", "E" }));
}

TEST_F(SortOrderTest, emptyListDoesNotStep)
{
    sortOrder() = SortOrder::byAuthor;
    EXPECT_FALSE(stepSortOrder());
    EXPECT_EQ(sortOrder(), SortOrder::byAuthor);
}

TEST_F(SortOrderTest, lookupFollowsReorderingAndRemoval)
{
    bookList().append(book("B", "", 1, "b.epub"));
    bookList().append(book("A", "", 2, "a.epub"));
    EXPECT_EQ(bookList().find("a.epub"), 1u);
    sortByTitle();
    EXPECT_EQ(bookList().find("a.epub"), 0u);
    bookList().remove(0);
    EXPECT_FALSE(bookList().find("a.epub"));
    EXPECT_EQ(bookList().find("b.epub"), 0u);
}

}
