// The documents folder, asked of the platform once and then held for the process.
#include "library/DocumentsFolder.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"

#include <optional>

namespace {

std::optional<foundation::URL>& heldFolder()
{
    static std::optional<foundation::URL> folder;
    return folder;
}

foundation::URL determineDocumentsFolder()
{
    using namespace foundation;
    auto fileManager = FileManager::defaultManager();
    auto url = fileManager->urlForDirectory(SearchPathDirectory::documentDirectory,
        SearchPathDomainMask::userDomainMask, std::nullopt, true);
    if (url)
        return *url;
    // The folder could not be made: keep its location, so that the scan reports the failure
    // to list it and the library shows empty rather than the program stopping.
    console("Can't read: " + url.error().description());
    return fileManager
        ->urlsForDirectory(
            SearchPathDirectory::documentDirectory, SearchPathDomainMask::userDomainMask)
        .front();
}

}

const foundation::URL& documentsFolder()
{
    auto& folder = heldFolder();
    if (!folder)
        folder = determineDocumentsFolder();
    return *folder;
}

std::string bookPath(const std::string& file)
{
    return documentsFolder().path() + "/" + file;
}

void forgetDocumentsFolder()
{
    heldFolder().reset();
}
