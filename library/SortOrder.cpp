// The program-wide sort order and the sorts of the program's book list.
#include "library/SortOrder.h"

#include "library/BookList.h"

std::int64_t& sortOrder()
{
    static std::int64_t order = SortOrder::recentlyOpened;
    return order;
}

const std::vector<std::string>& sortOrderNames()
{
    static const std::vector<std::string> names { "Recently Opened", "Books by Title",
        "Books by Author" };
    return names;
}

void sortByRecency()
{
    bookList().sortByRecency();
}

void sortByTitle()
{
    bookList().sortByTitle();
}

void sortByAuthor()
{
    bookList().sortByAuthor();
}

bool stepSortOrder()
{
    if (bookList().empty())
        return false;
    std::int64_t next;
    switch (sortOrder()) {
    case SortOrder::byAuthor:
        sortByRecency();
        next = SortOrder::recentlyOpened;
        break;
    case SortOrder::byTitle:
        sortByAuthor();
        next = SortOrder::byAuthor;
        break;
    default:
        sortByTitle();
        next = SortOrder::byTitle;
        break;
    }
    sortOrder() = next;
    return true;
}
