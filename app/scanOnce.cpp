// The headless scan: the folder checked, the scan run with the metadata cache, its console lines
// sent where the command wants them.
#include "app/scanOnce.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "library/DocumentsFolder.h"
#include "library/scanLibrary.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

std::optional<std::string> scanOnce(const ScanOnce& scan)
{
    // A mistyped name is said, not answered with an empty library.
    std::error_code missing;
    if (scan.documents && !std::filesystem::exists(*scan.documents, missing)) {
        std::cerr << "pagewyn: cannot " << scan.doing << " the library: " << *scan.documents
                  << " does not exist" << std::endl;
        return std::nullopt;
    }
    if (scan.documents)
        foundation::FileManager::setDocumentsDirectoryOverride(*scan.documents);
    const std::string folder = documentsFolder().path();
    auto listing = foundation::FileManager::defaultManager()->contentsOfDirectoryAtPath(folder);
    if (!listing) {
        std::cerr << "pagewyn: cannot " << scan.doing
                  << " the library: " << listing.error().description() << std::endl;
        return std::nullopt;
    }
    // The scan's "Can't read: " lines go to standard error, unless someone else already listens
    // to the console.
    auto previousSink = foundation::setConsoleSink({});
    if (scan.consoleToStandardError && !previousSink) {
        foundation::setConsoleSink([](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stderr);
            std::fputc('\n', stderr);
        });
    } else {
        foundation::setConsoleSink(previousSink);
    }
    auto previousStore = folioreader::FolioReader::metadataStore();
    folioreader::FolioReader::setMetadataStore(scan.metadataStore);
    scanLibrary();
    folioreader::FolioReader::setMetadataStore(std::move(previousStore));
    foundation::setConsoleSink(std::move(previousSink));
    return folder;
}
