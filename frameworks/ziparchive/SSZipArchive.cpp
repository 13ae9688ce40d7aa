// SSZipArchive on our own ZipReader, which reads the directory as the library and the reader do:
// the directory is read and checked whole, then each entry is streamed into its file a piece at a
// time, so a large book never sits in memory.
#include "frameworks/ziparchive/SSZipArchive.h"

#include "frameworks/ziparchive/DestinationFolder.h"
#include "frameworks/ziparchive/ZipReader.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/ZipRecords.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

using foundation::Error;
using foundation::fileError;
using foundation::Result;
using ziparchive::ArchiveEntry;
using ziparchive::DestinationFolder;
using ziparchive::FreeSpace;
using ziparchive::PlannedFile;
using ziparchive::ZipReader;

namespace {

Error aboutArchive(const std::string& path, const std::string& what)
{
    return Error("\"" + path + "\": " + what);
}

// The archive opened once: its checks and its unpacking read the same file, even if another
// takes its name meanwhile. Answers the file's size.
Result<std::uint64_t> checkSource(const std::string& path, const foundation::FileDescriptor& source)
{
    if (!source.isOpen())
        return fileError(path, errno);
    struct stat info;
    if (::fstat(source.get(), &info) != 0)
        return fileError(path, errno);
    if (!S_ISREG(info.st_mode))
        return aboutArchive(path, "not a file");
    if (info.st_size == 0)
        return aboutArchive(path, "empty file, not a zip archive");
    return std::uint64_t(info.st_size);
}

std::string entryText(const ZipReader::Entry& entry)
{
    return "entry \"" + entry.name + "\"";
}

Result<std::vector<ArchiveEntry>> readEntries(const ZipReader& zip, const std::string& path)
{
    if (zip.entries().empty())
        return aboutArchive(path, "the archive holds no entries");
    std::vector<ArchiveEntry> entries;
    entries.reserve(zip.entries().size());
    for (const ZipReader::Entry& entry : zip.entries()) {
        auto extent = zip.extent(entry);
        if (!extent)
            return aboutArchive(path, entryText(entry) + ": damaged entry");
        const bool unixAttributes = entry.system == foundation::zip::unixSystem
            || entry.system == foundation::zip::macSystem;
        entries.push_back({ entry.name, entry.size, entry.compressedSize,
            ziparchive::entryKind(entry.name, unixAttributes, entry.externalAttributes),
            extent->start, extent->end });
    }
    return entries;
}

// Free space where the destination will be: on the nearest folder that already exists.
FreeSpace freeSpaceAt(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    for (;;) {
        struct statvfs info;
        if (::statvfs(path.c_str(), &info) == 0) {
            FreeSpace space;
            space.bytes = std::uint64_t(info.f_bavail) * info.f_frsize;
            space.blockSize = info.f_frsize;
            // Some file systems count no inodes and report zero of them.
            if (info.f_files > 0)
                space.files = info.f_favail;
            return space;
        }
        if (errno != ENOENT || path == "." || path == "/")
            return {};
        auto slash = path.find_last_of('/');
        path = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    }
}

Result<void> unpackFile(const ZipReader& zip, const PlannedFile& file, DestinationFolder& folder,
    const std::string& path, const std::string& destination)
{
    const ZipReader::Entry& entry = zip.entries()[file.index];
    foundation::FileDescriptor output(TRY(folder.createFile(file.path)));
    int writeError = 0;
    ZipReader::ReadFailure failure;
    const bool unpacked = zip.unpack(
        entry,
        [&](const char* bytes, std::size_t length) {
            if (foundation::writeAll(output.get(), bytes, length))
                return true;
            writeError = errno;
            return false;
        },
        failure);
    if (failure.stopped)
        return fileError(destination + "/" + file.path, writeError);
    if (!unpacked)
        return aboutArchive(path, entryText(entry) + ": " + failure.text);
    if (!output.close())
        return fileError(destination + "/" + file.path, errno);
    return {};
}

}

bool SSZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination)
{
    return static_cast<bool>(unzip(path, destination));
}

Result<void> SSZipArchive::unzip(
    const std::string& path, const std::string& destination, const ziparchive::UnzipLimits& limits)
{
    if (path.empty())
        return Error("the archive has no path");
    foundation::FileDescriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    auto archiveBytes = TRY(checkSource(path, source));
    auto zip = ZipReader::open(std::move(source), archiveBytes);
    if (!zip)
        return aboutArchive(path, zip.error().description());
    auto entries = TRY(readEntries(*zip, path));
    auto plan = ziparchive::planUnpacking(entries, limits, freeSpaceAt(destination), archiveBytes);
    if (!plan)
        return aboutArchive(path, plan.error().description());

    // From here on the folder takes back everything it made unless it is kept at the end.
    auto folder = TRY(DestinationFolder::open(destination));
    for (const std::string& subfolder : plan->folders) {
        TRY(folder.makeFolder(subfolder));
    }
    for (const PlannedFile& file : plan->files) {
        TRY(unpackFile(*zip, file, folder, path, destination));
    }
    folder.keep();
    return {};
}
