// Unpacking beside the library, then swapping the new folder in with renames.
#include "import/unpackIntoLibrary.h"

#include "frameworks/ziparchive/SSZipArchive.h"
#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdlib.h>

namespace {

class StagingFolder {
public:
    explicit StagingFolder(std::string path) : m_path(std::move(path)) {}
    ~StagingFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}

foundation::Result<void> unpackIntoLibrary(const std::string& source, const std::string& libraryFolder, const std::string& name)
{
    using foundation::Error;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return Error("\"" + source + "\": the file has no name a book can take");
    const std::string destination = libraryFolder + "/" + name;

    // A dot name without the book ending: the scan passes over it, even if the program stops
    // half way.
    std::string pattern = libraryFolder + "/.import-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return foundation::fileError(libraryFolder, errno);
    StagingFolder staging(pattern);
    const std::string unpacked = staging.path() + "/book";
    if (auto result = SSZipArchive::unzip(source, unpacked); !result)
        return result.error();

    foundation::FileManager fileManager;
    const std::string displaced = staging.path() + "/previous";
    bool hadPrevious = fileManager.attributesOfItemAtPath(destination).hasValue();
    if (hadPrevious) {
        if (auto moved = fileManager.moveItemAtPath(destination, displaced); !moved)
            return moved.error();
    }
    if (auto moved = fileManager.moveItemAtPath(unpacked, destination); !moved) {
        if (hadPrevious)
            (void)fileManager.moveItemAtPath(displaced, destination);
        return moved.error();
    }
    // The folder is dated when it takes its place, as one made there would be, so the new
    // book comes first in the recency order.
    foundation::FileAttributes now;
    now.set(foundation::FileAttributeKey::modificationDate, foundation::Date::now());
    (void)fileManager.setAttributes(now, destination);
    return {};
}
