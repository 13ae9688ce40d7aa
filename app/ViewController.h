// ViewController: the library screen, a table of the books with the header bar above it. The
// class is declared here once; its operations are defined beside the subsystem they belong to:
// construction and loading in app/, the scan on appearance and the sort action in library/, the
// table's section, cells, header and deletion in screen/, the selection of a book in reading/.
#pragma once

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/stores/KeptProgress.h"
#include "library/BackgroundWork.h"
#include "platform/ui/DocumentPickerDelegate.h"
#include "platform/ui/TableViewController.h"
#include "screen/BookFilter.h"

#include <functional>
#include <memory>

// Holds the screen's reader engine. It is the first base of ViewController, ahead of the
// platform's table-view controller, so the engine exists before the platform's initialiser runs,
// whichever initialiser creates the screen.
struct ReaderEngineOwner {
    ReaderEngineOwner()
        : folioReader(std::make_shared<folioreader::FolioReader>())
    {
    }

    // Made once with the screen, never replaced, released with it.
    const std::shared_ptr<folioreader::FolioReader> folioReader;
};

class ViewController : private ReaderEngineOwner,
                       public ui::TableViewController,
                       public ui::DocumentPickerDelegate {
public:
    using ReaderEngineOwner::folioReader;

    // initWithStyle:
    explicit ViewController(ui::TableViewStyle style);
    // initWithNibName:bundle:
    ViewController(std::optional<std::string> nibName, std::optional<std::string> bundlePath);
    // initWithCoder:
    explicit ViewController(const ui::Coder& coder);
    std::string className() const override { return "ViewController"; }

    // The program's background work, which the screen's scans and rows hand their books to; set
    // by the factory that makes the screen, before it loads.
    void setBackgroundWork(const BackgroundWork& work) { m_backgroundWork = work; }

    // Registers the screen as the application delegate's myViewController.
    void viewDidLoad() override;
    // viewWillAppear: — scans the library, then reloads the table.
    void viewWillAppear(bool animated) override;

    // tableView:numberOfRowsInSection: — one row per book, or per book found while the search
    // field has text.
    std::int64_t numberOfRowsInSection(ui::TableView&, std::int64_t section) override;
    // sectionIndexTitlesForTableView: — the first characters of the sort key; blue.
    std::vector<std::string> sectionIndexTitlesForTableView(ui::TableView& table) override;
    // tableView:sectionForSectionIndexTitle:atIndex: — scrolls to the first match, answers 1.
    std::int64_t sectionForSectionIndexTitle(
        ui::TableView& table, const std::string& title, std::int64_t index) override;

    // tableView:cellForRowAtIndexPath: — cover, title and author of the row's book.
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(
        ui::TableView& table, ui::IndexPath indexPath) override;
    // The cover of the book at path, read apart from the main loop, shown in the visible rows of
    // that book; whether a row's picture changed.
    bool showCover(const std::string& path, const std::shared_ptr<ui::Image>& cover);
    // The visible rows still showing the blank cover are shown their own when it is known or was
    // read lately, and ask for it again when it never was: one whose request the cover reader let
    // go while the row stayed in view (a jump asked for many rows after it) is made no more, and
    // would show the blank cover for good. Whether a row's picture changed.
    bool askAgainForCovers();
    // tableView:willDisplayCell:forRowAtIndexPath: — a clear background.
    void willDisplayCell(ui::TableView&, ui::TableViewCell& cell, ui::IndexPath) override;
    // tableView:canEditRowAtIndexPath: — every row can be swiped to delete.
    bool canEditRowAtIndexPath(ui::TableView&, ui::IndexPath) override;
    // tableView:commitEditingStyle:forRowAtIndexPath: — deletes the book's item, then its row.
    void commitEditingStyle(ui::TableView& table, ui::TableViewCellEditingStyle style,
        ui::IndexPath indexPath) override;

    // updateSearchResultsForSearchController: — the rows become the books whose title or author
    // contains the text; the section index hides while they do.
    void updateSearchResults(ui::TableView&, const std::string& text) override;

    // tableView:titleForHeaderInSection: — the name of the current sort order.
    std::optional<std::string> titleForHeaderInSection(
        ui::TableView&, std::int64_t section) override;
    // tableView:heightForHeaderInSection: — 50 points.
    double heightForHeaderInSection(ui::TableView&, std::int64_t section) override;
    // tableView:willDisplayHeaderView:forSection: — styles the header and sets up its buttons.
    void willDisplayHeaderView(ui::TableView&, ui::View& view, std::int64_t section) override;

    // tableView:didSelectRowAtIndexPath: — opens the book.
    void didSelectRowAtIndexPath(ui::TableView& table, ui::IndexPath indexPath) override;
    // A passage found in a book's text: the book opens, as from its row (the page shows the
    // passage in the reader). False for a book the list no longer holds.
    bool didSelectFoundPassage(ui::TableView& table, const std::string& file) override;

    // The header's sort button: the next sort order, re-sorted, reloaded, scrolled to the top.
    void sortList();
    // The header's open button: the document picker for EPUB books.
    void openFile();
    // documentPicker:didPickDocumentsAtURLs: — imports the first picked file.
    void didPickDocumentsAtURLs(
        ui::DocumentPickerViewController&, const std::vector<foundation::URL>& urls) override;
    // documentPickerWasCancelled: — says so on the console and dismisses the picker.
    void documentPickerWasCancelled(ui::DocumentPickerViewController&) override;
    // Unpacks the EPUB file into a folder of the library named like it, shows it first and
    // opens it. A broken file leaves the library as it was.
    void importBook(const foundation::URL& url);

    // The header's info button: the about alert.
    void about();
    // The header's settings button: this application's page of the system's settings.
    void openSettings();
    // The empty library's folder button: the library folder in the desktop's file manager.
    void openLibraryFolder();

private:
    void registerActions();
    // The position in the book list of the book the table shows in the row, if any.
    std::optional<std::size_t> bookIndexForRow(std::int64_t row) const;
    // Each visible row of a book shows the picture choose answers for the book's path and the
    // picture the row shows, unless it answers none; whether a row's picture changed.
    bool changeRowPictures(const std::function<std::shared_ptr<ui::Image>(
            const std::string& path, const std::shared_ptr<ui::Image>& shown)>& choose);
    // Opens the book at the position in the list in the reader and makes it the most recently
    // opened; false when the list no longer holds it afterwards.
    bool openBook(std::size_t book);

    // Behind the rows when there are none: how to add a book, or that no book matches.
    void showTableBackground(ui::TableView& table, std::size_t rows);
    std::shared_ptr<ui::View> emptyLibraryView(double width);
    std::shared_ptr<ui::View> noMatchView(double width);

    BackgroundWork m_backgroundWork;
    BookFilter m_bookFilter;
    // How far each book was read, as its row shows it.
    folioreader::KeptProgress m_keptProgress;
    std::shared_ptr<ui::View> m_emptyLibraryView;
    std::shared_ptr<ui::View> m_noMatchView;
};

// The library screens of the application's windows (one per browser showing it), oldest first.
std::vector<std::shared_ptr<ViewController>> libraryScreens();
