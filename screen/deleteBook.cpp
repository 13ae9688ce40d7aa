// Deleting a book: its item leaves the documents folder, then its book the list, then its row
// the table, with a fade. A failed removal changes nothing and says so on the console.
#include "app/ViewController.h"

#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"

namespace {
// A book's file is a name the folder listing gave; anything that could reach outside the
// documents folder is refused before the file manager sees it.
bool isPlainItemName(const std::string& file)
{
    return !file.empty() && file != "." && file != ".." && file.find('/') == std::string::npos
        && file.find('\0') == std::string::npos;
}
}

void ViewController::commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle style, ui::IndexPath indexPath)
{
    if (style != ui::TableViewCellEditingStyle::deleteStyle)
        return;
    auto& books = bookList();
    // While the search field has text, row i is the i-th book found, not element i of the list.
    auto found = bookIndexForRow(indexPath.row);
    if (!found)
        return;
    auto row = *found;
    std::string path = bookPath(books[row].file);
    if (!isPlainItemName(books[row].file)) {
        foundation::console("Can't delete: \"" + path + "\": not an item of the library folder");
        return;
    }
    auto removed = foundation::FileManager::defaultManager()->removeItemAtPath(path);
    if (!removed) {
        foundation::console("Can't delete: " + removed.error().description());
        return;
    }
    // The list is one shorter before the table hears of it: the table checks the new row count.
    books.remove(row);
    (void)table.deleteRowsAtIndexPaths({ indexPath }, ui::TableViewRowAnimation::fade);
}
