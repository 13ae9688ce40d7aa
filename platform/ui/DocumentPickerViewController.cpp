// The document picker: the types it offers, and delivering the user's choice.
#include "platform/ui/DocumentPickerViewController.h"

#include "platform/ui/ApplicationInfo.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace ui {

namespace {

std::string lowercase(std::string text)
{
    for (auto& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The application's property list says which endings and media types belong to a type.
template <typename Field>
std::vector<std::string> acceptedFor(const std::vector<std::string>& types, Field field)
{
    std::vector<std::string> accepted;
    for (const auto& documentType : ApplicationInfo::main().documentTypes) {
        for (const auto& type : types) {
            if (std::find(documentType.contentTypes.begin(), documentType.contentTypes.end(), type)
                != documentType.contentTypes.end())
                for (const auto& value : documentType.*field)
                    accepted.push_back(value);
        }
    }
    return accepted;
}

// A private folder for the copies handed to the application: only this user can enter it.
foundation::Result<std::string> makeInbox()
{
    std::string base = std::filesystem::temp_directory_path().string() + "/pagewyn-inbox-XXXXXX";
    if (!mkdtemp(base.data()))
        return foundation::Error("cannot make a private inbox for the picked files");
    return base;
}

}

DocumentPickerViewController::DocumentPickerViewController(
    std::vector<std::string> documentTypes, DocumentPickerMode mode)
    : m_documentTypes(std::move(documentTypes))
    , m_mode(mode)
{
}

std::vector<std::string> DocumentPickerViewController::acceptedExtensions() const
{
    auto extensions = acceptedFor(m_documentTypes, &DocumentType::extensions);
    for (auto& extension : extensions)
        extension = "." + extension;
    return extensions;
}

std::vector<std::string> DocumentPickerViewController::acceptedMimeTypes() const
{
    return acceptedFor(m_documentTypes, &DocumentType::mimeTypes);
}

bool DocumentPickerViewController::accepts(const std::string& fileName) const
{
    auto name = lowercase(fileName);
    for (const auto& extension : acceptedExtensions()) {
        if (name.size() > extension.size()
            && name.compare(name.size() - extension.size(), extension.size(), lowercase(extension))
                == 0)
            return true;
    }
    return false;
}

foundation::Result<void> DocumentPickerViewController::userPickFiles(
    const std::vector<std::string>& paths)
{
    namespace fs = std::filesystem;
    for (const auto& path : paths) {
        if (!accepts(fs::path(path).filename().string()))
            return foundation::Error("\"" + path + "\" is not a file this picker offers");
    }
    std::vector<foundation::URL> urls;
    std::optional<std::string> inbox;
    if (m_mode == DocumentPickerMode::import && !paths.empty()) {
        inbox = TRY(makeInbox());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            // One folder per file keeps each copy's own name, even for two files named alike.
            std::string copy
                = *inbox + "/" + std::to_string(i) + "/" + fs::path(paths[i]).filename().string();
            std::error_code error;
            fs::create_directory(*inbox + "/" + std::to_string(i), error);
            if (!error)
                fs::copy_file(paths[i], copy, error);
            if (error) {
                fs::remove_all(*inbox, error);
                return foundation::Error(
                    "\"" + paths[i] + "\" cannot be copied: " + error.message());
            }
            urls.push_back(foundation::URL::fileURLWithPath(copy));
        }
    } else {
        for (const auto& path : paths)
            urls.push_back(foundation::URL::fileURLWithPath(path));
    }
    auto self = shared_from_this();
    dismissViewControllerAnimated(true);
    if (m_delegate)
        m_delegate->didPickDocumentsAtURLs(*this, urls);
    if (inbox) {
        std::error_code ignored;
        fs::remove_all(*inbox, ignored);
    }
    return {};
}

void DocumentPickerViewController::userCancel()
{
    auto self = shared_from_this();
    if (m_delegate)
        m_delegate->documentPickerWasCancelled(*this);
}

}
