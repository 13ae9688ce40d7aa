// The document picker for EPUB books, and what the library screen does with its answer.
#include "app/ViewController.h"

#include "platform/foundation/Console.h"
#include "platform/ui/DocumentPickerViewController.h"

void ViewController::openFile()
{
    auto picker = std::make_shared<ui::DocumentPickerViewController>(
        std::vector<std::string> { "org.idpf.epub-container" }, ui::DocumentPickerMode::import);
    picker->setDelegate(this);
    picker->setModalPresentationStyle(ui::ModalPresentationStyle::formSheet);
    presentViewController(picker, true);
}

void ViewController::didPickDocumentsAtURLs(
    ui::DocumentPickerViewController&, const std::vector<foundation::URL>& urls)
{
    if (urls.empty())
        return;
    importBook(urls.front());
}

void ViewController::documentPickerWasCancelled(ui::DocumentPickerViewController&)
{
    foundation::console("view was cancelled");
    dismissViewControllerAnimated(true);
}
