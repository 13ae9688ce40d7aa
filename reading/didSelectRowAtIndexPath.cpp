// A tap on a book's row, or on a passage found in its text: the book opens in the reader, then
// becomes the most recently opened one — its item gets the current time as modification date, its
// record the current time in `added` — and the table follows, underneath the reader.
#include "app/ViewController.h"

#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/SortOrder.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "reading/makeReaderConfig.h"

bool ViewController::openBook(std::size_t book)
{
    std::string path = bookPath(bookList()[book].file);
    {
        auto config = makeReaderConfig();
        folioReader->presentReader(*this, path, std::nullopt, std::move(config), true, true);
    }

    foundation::FileAttributes attributes;
    attributes.set(foundation::FileAttributeKey::modificationDate, foundation::Date::now());
    foundation::FileManager fileManager;
    // The book is looked up again: nothing may have moved it, but nothing is assumed either.
    if (book >= bookList().size())
        return false;
    std::string samePath = bookPath(bookList()[book].file);
    if (auto changed = fileManager.setAttributes(attributes, samePath); !changed)
        foundation::console("Can't change date: " + changed.error().description());
    bookList().setAdded(book, foundation::Date::now());
    return true;
}

// tableView:didSelectRowAtIndexPath:
void ViewController::didSelectRowAtIndexPath(ui::TableView& table, ui::IndexPath indexPath)
{
    // The row's book: element row of the list, or while the search field has text the row-th
    // book found. A row beyond them names no book and opens nothing.
    auto book = bookIndexForRow(indexPath.row);
    if (!book || !openBook(*book))
        return;
    if (sortOrder() != SortOrder::recentlyOpened) {
        table.scrollToRowAtIndexPath(indexPath, ui::TableViewScrollPosition::top, true);
        return;
    }
    sortByRecency();
    table.reloadData();
    table.selectRowAtIndexPath(
        ui::IndexPath::forRow(0, 0), true, ui::TableViewScrollPosition::none);
}

bool ViewController::didSelectFoundPassage(ui::TableView& table, const std::string& file)
{
    auto book = bookList().find(file);
    if (!book)
        return false;
    if (openBook(*book) && sortOrder() == SortOrder::recentlyOpened) {
        sortByRecency();
        table.reloadData();
    }
    return true;
}
