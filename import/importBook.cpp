// Importing a book file: unpacked into the library, shown first, opened.
#include "app/ViewController.h"

#include "import/unpackIntoLibrary.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "platform/ui/HandedFileOutcome.h"
#include "platform/ui/MainLoop.h"
#include "reading/makeReaderConfig.h"

void ViewController::importBook(const foundation::URL& url)
{
    using namespace foundation;
    const URL source = url.standardizedFileURL();
    auto folder
        = FileManager::defaultManager()->urlForDirectory(SearchPathDirectory::documentDirectory,
            SearchPathDomainMask::userDomainMask, std::nullopt, true);
    if (!folder) {
        console("Can't import: " + folder.error().description());
        ui::reportHandedFile(folder.error());
        return;
    }
    const std::string name = source.lastPathComponent();
    // The unpacking only touches the disk; pages are answered meanwhile.
    auto unpacked = ui::MainLoop::main().answerLooksWhile(
        [&] { return unpackIntoLibrary(source.path(), folder->path(), name); });
    // A book handed over while another is open (or an alert shows) takes the reader's place:
    // what is presented closes first, since only one screen can be presented at a time.
    if (unpacked && presentedViewController())
        dismissViewControllerAnimated(false);
    viewWillAppear(true);
    if (!unpacked) {
        // The library is as it was; there is no new book to open.
        console("Can't import: " + unpacked.error().description());
        ui::reportHandedFile(unpacked);
        return;
    }
    ui::reportHandedFile({});
    auto table = tableView();
    if (table->numberOfRowsInSection(0) > 0)
        table->selectRowAtIndexPath(
            ui::IndexPath::forRow(0, 0), true, ui::TableViewScrollPosition::none);
    folioReader->presentReader(*this, folder->appendingPathComponent(name).path(), std::nullopt,
        makeReaderConfig(), true, true);
}
