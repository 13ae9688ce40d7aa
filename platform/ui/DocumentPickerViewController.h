// DocumentPickerViewController: the system's chooser of files of given types. In import mode
// the platform hands the application a copy of each chosen file, made in a private inbox and
// removed once the delegate has returned, so the application only ever reads it.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/DocumentPickerDelegate.h"
#include "platform/ui/ViewController.h"

#include <string>
#include <vector>

namespace ui {

enum class DocumentPickerMode { import = 0, open = 1, exportToService = 2, moveToService = 3 };

class DocumentPickerViewController : public ViewController {
public:
    // initWithDocumentTypes:inMode:
    DocumentPickerViewController(std::vector<std::string> documentTypes, DocumentPickerMode mode);
    std::string className() const override { return "DocumentPickerViewController"; }

    const std::vector<std::string>& documentTypes() const { return m_documentTypes; }
    DocumentPickerMode mode() const { return m_mode; }
    // Not owned: the delegate outlives what it presents.
    DocumentPickerDelegate* delegate() const { return m_delegate; }
    void setDelegate(DocumentPickerDelegate* delegate) { m_delegate = delegate; }

    // The file name endings and media types the chooser offers for the picker's types.
    std::vector<std::string> acceptedExtensions() const;
    std::vector<std::string> acceptedMimeTypes() const;
    // Whether a file of that name may be chosen here.
    bool accepts(const std::string& fileName) const;

    // The user chose these files: in import mode copies are made, the picker closes, the
    // delegate gets the copies' URLs, then the copies go. An error, and nothing delivered, when
    // a file is of a type not offered or cannot be copied.
    foundation::Result<void> userPickFiles(const std::vector<std::string>& paths);
    // The user cancelled: the delegate hears it and dismisses the picker.
    void userCancel();

private:
    std::vector<std::string> m_documentTypes;
    DocumentPickerMode m_mode;
    DocumentPickerDelegate* m_delegate = nullptr;
};

}
