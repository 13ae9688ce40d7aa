// DocumentPickerDelegate: where a document picker reports what the user chose.
#pragma once

#include "platform/foundation/URL.h"

#include <vector>

namespace ui {

class DocumentPickerViewController;

class DocumentPickerDelegate {
public:
    virtual ~DocumentPickerDelegate() = default;
    // documentPicker:didPickDocumentsAtURLs: — the picker has closed itself by now.
    virtual void didPickDocumentsAtURLs(
        DocumentPickerViewController&, const std::vector<foundation::URL>& urls)
        = 0;
    // documentPickerWasCancelled: — the picker is still shown; the delegate dismisses it.
    virtual void documentPickerWasCancelled(DocumentPickerViewController&) = 0;
};

}
