// Deleting a book: its item leaves the documents folder, then its book the list, then its row
// the table, with a fade. A failed removal changes nothing and says so on the console. The item
// is first put aside by one rename, so a removal that fails or is cut off part way never leaves a
// listed book gutted.
#include "app/ViewController.h"

#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/removeLibraryItem.h"
#include "platform/foundation/Console.h"
#include "platform/ui/AlertAction.h"
#include "platform/ui/AlertController.h"

namespace {

// The library screens of the other windows (other browsers) that are reading the book close their
// reader, its pages being gone, and say why.
void closeOtherReaders(
    const ViewController& deleting, const std::string& path, const std::string& title)
{
    for (auto& screen : libraryScreens()) {
        if (screen.get() == &deleting || !screen->folioReader->isReading(path))
            continue;
        screen->folioReader->closeReader();
        auto notice = ui::AlertController::alertControllerWithTitle("Book deleted",
            "\u201C" + title + "\u201D was deleted on another screen, so it was closed here.",
            ui::AlertControllerStyle::alert);
        notice->addAction(ui::AlertAction::actionWithTitle(
            "ok", ui::AlertActionStyle::defaultStyle, [](ui::AlertAction&) {}));
        screen->presentViewController(notice, true);
    }
}

}

void ViewController::commitEditingStyle(
    ui::TableView& table, ui::TableViewCellEditingStyle style, ui::IndexPath indexPath)
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
    auto removed = removeLibraryItem(documentsFolder().path(), books[row].file);
    if (!removed) {
        foundation::console("Can't delete: " + removed.error().description());
        return;
    }
    // The book's reading place goes with it; a place that cannot be dropped only takes room.
    if (auto forgotten = folioreader::forgetReadingPlace(
            bookPath(folioreader::readingPlacesName), books[row].file);
        !forgotten)
        foundation::console("Can't forget the reading place: " + forgotten.error().description());
    closeOtherReaders(*this, path, books[row].title);
    // The list is one shorter before the table hears of it: the table checks the new row count.
    books.remove(row);
    (void)table.deleteRowsAtIndexPaths({ indexPath }, ui::TableViewRowAnimation::fade);
}
