// Unpacking in a work folder of the library, then swapping the new folder in by one exchange, or
// by two renames where the file system cannot exchange.
#include "import/unpackIntoLibrary.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/ziparchive/SSZipArchive.h"
#include "library/WorkFolder.h"
#include "library/removeLibraryItem.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/writeFileAtomically.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

using foundation::fileError;
using foundation::Result;

// The book's name, on disk before anything is moved, so that the next start knows where a book
// moved aside belongs.
Result<void> writeBookName(const std::string& path, const std::string& name)
{
    foundation::FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!file.isOpen())
        return fileError(path, errno);
    const std::string line = name + "\n";
    if (!foundation::writeAll(file.get(), line.data(), line.size()) || ::fsync(file.get()) != 0)
        return fileError(path, errno);
    return {};
}

// The two renames of file systems without an exchange. Killed between them, the old book waits
// in the work folder and the next start puts it back.
Result<void> replaceByTwoRenames(
    WorkFolder& staging, const std::string& unpacked, const std::string& destination)
{
    const std::string displaced = staging.path() + "/" + std::string(previousBookName);
    libraryStep("move old book aside");
    TRY(renameItem(destination, displaced));
    libraryStep("place new book");
    auto placed = renameItem(unpacked, destination);
    if (placed)
        return {};
    libraryStep("move old book back");
    // An old book that cannot go back is never removed with the work folder: the next start
    // tries again.
    if (!renameItem(displaced, destination))
        staging.keep();
    return placed.error();
}

// The unpacked book read as the scan reads an item (its title, then its author): a book the
// library could never list is refused before it takes anyone's place. The reason names the
// file the user gave, not the work folder.
Result<void> readAsTheScanWill(const std::string& unpacked, const std::string& source)
{
    auto title = folioreader::FolioReader::getTitle(unpacked);
    auto author = title ? folioreader::FolioReader::getAuthorName(unpacked)
                        : Result<std::string>(title.error());
    if (author)
        return {};
    std::string reason = author.error().description();
    const std::string staged = "\"" + unpacked + "\"";
    if (reason.rfind(staged, 0) == 0)
        reason.replace(0, staged.size(), "\"" + source + "\"");
    return foundation::Error(reason);
}

}

foundation::Result<void> unpackIntoLibrary(
    const std::string& source, const std::string& libraryFolder, const std::string& name)
{
    using foundation::Error;
    if (!isPlainItemName(name))
        return Error("\"" + source + "\": the file has no name a book can take");
    if (isWorkFolderName(name))
        return Error("\"" + source + "\": the name is one Pagewyn keeps for its own work");
    const std::string destination = libraryFolder + "/" + name;

    auto staging = TRY(WorkFolder::create(libraryFolder, WorkFolder::importPrefix));
    const std::string unpacked = staging.path() + "/" + std::string(unpackedBookName);
    libraryStep("unpack");
    TRY(SSZipArchive::unzip(source, unpacked));
    TRY(readAsTheScanWill(unpacked, source));
    TRY(writeBookName(staging.path() + "/" + std::string(bookNameFile), name));
    TRY(staging.syncToDisk());

    foundation::FileManager fileManager;
    if (!fileManager.attributesOfItemAtPath(destination)) {
        libraryStep("place new book");
        TRY(renameItem(unpacked, destination));
    } else {
        libraryStep("exchange books");
        bool exchanged = TRY(exchangeItems(unpacked, destination));
        if (!exchanged) {
            TRY(replaceByTwoRenames(staging, unpacked, destination));
        }
    }
    foundation::syncFolder(libraryFolder);
    // The folder is dated when it takes its place, as one made there would be, so the new
    // book comes first in the recency order.
    libraryStep("date new book");
    foundation::FileAttributes now;
    now.set(foundation::FileAttributeKey::modificationDate, foundation::Date::now());
    (void)fileManager.setAttributes(now, destination);
    return {};
}
