// SSZipArchive on libzip: the central directory is read and checked whole, then each entry is
// streamed into its file in fixed chunks, so a large book never sits in memory.
#include "frameworks/ziparchive/SSZipArchive.h"

#include "frameworks/ziparchive/DestinationFolder.h"
#include "frameworks/ziparchive/EntryExtents.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zip.h>

using foundation::Error;
using foundation::fileError;
using foundation::Result;
using ziparchive::ArchiveEntry;
using ziparchive::DestinationFolder;
using ziparchive::FreeSpace;
using ziparchive::PlannedFile;

namespace {

constexpr std::size_t chunkSize = 64 * 1024;

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using OpenEntry = std::unique_ptr<zip_file_t, EntryCloser>;

std::string libzipMessage(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    return message;
}

Error aboutArchive(const std::string& path, const std::string& what)
{
    return Error("\"" + path + "\": " + what);
}

// The archive opened once: its checks, its layout and libzip all read the same file, even if
// another takes its name meanwhile. Answers the file's size.
Result<std::uint64_t> checkSource(const std::string& path, const foundation::FileDescriptor& source)
{
    if (!source.isOpen())
        return fileError(path, errno);
    struct stat info;
    if (::fstat(source.get(), &info) != 0)
        return fileError(path, errno);
    if (!S_ISREG(info.st_mode))
        return aboutArchive(path, "not a file");
    // libzip takes an empty file for an empty archive; it is no archive at all.
    if (info.st_size == 0)
        return aboutArchive(path, "empty file, not a zip archive");
    return std::uint64_t(info.st_size);
}

Result<std::vector<ArchiveEntry>> readEntries(zip_t* archive, const std::string& path, int descriptor)
{
    auto extents = ziparchive::readEntryExtents(descriptor);
    if (!extents)
        return aboutArchive(path, extents.error().description());
    zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count <= 0)
        return aboutArchive(path, "the archive holds no entries");
    if (std::uint64_t(count) != extents->size())
        return aboutArchive(path, "the archive's directory is damaged: it counts its entries twice differently");
    std::vector<ArchiveEntry> entries;
    entries.reserve(std::size_t(count));
    for (zip_int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        constexpr zip_uint64_t needed = ZIP_STAT_NAME | ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE;
        if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 || (stat.valid & needed) != needed)
            return aboutArchive(path, std::string("unreadable entry: ") + zip_strerror(archive));
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(archive, zip_uint64_t(index), 0, &system, &attributes) != 0)
            return aboutArchive(path, std::string("unreadable entry: ") + zip_strerror(archive));
        bool unixAttributes = system == ZIP_OPSYS_UNIX || system == ZIP_OPSYS_OS_X;
        const auto& extent = (*extents)[std::size_t(index)];
        entries.push_back({ stat.name, stat.size, stat.comp_size,
            ziparchive::entryKind(stat.name, unixAttributes, attributes), extent.start, extent.end });
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

std::string entryText(zip_t* archive, const PlannedFile& file)
{
    const char* name = zip_get_name(archive, file.index, 0);
    return std::string("entry \"") + (name ? name : file.path) + "\"";
}

Result<void> unpackFile(zip_t* archive, const PlannedFile& file, DestinationFolder& folder,
    std::vector<char>& buffer, const std::string& path, const std::string& destination)
{
    OpenEntry entry(zip_fopen_index(archive, file.index, 0));
    if (!entry)
        return aboutArchive(path, entryText(archive, file) + ": " + zip_strerror(archive));
    foundation::FileDescriptor output(TRY(folder.createFile(file.path)));

    std::uint64_t written = 0;
    for (;;) {
        // Asks for one byte more than is left, so an entry that inflates past the size it
        // declared is caught at that byte, not after filling the disk.
        std::uint64_t left = file.size - written;
        std::size_t wanted = left < buffer.size() ? std::size_t(left) + 1 : buffer.size();
        zip_int64_t got = zip_fread(entry.get(), buffer.data(), wanted);
        if (got < 0)
            return aboutArchive(path, entryText(archive, file) + ": " + zip_file_strerror(entry.get()));
        if (got == 0)
            break;
        if (std::uint64_t(got) > left)
            return aboutArchive(path, entryText(archive, file) + " holds more than the "
                + std::to_string(file.size) + " bytes it declares");
        if (!foundation::writeAll(output.get(), buffer.data(), std::size_t(got)))
            return fileError(destination + "/" + file.path, errno);
        written += std::uint64_t(got);
    }
    if (written != file.size)
        return aboutArchive(path, entryText(archive, file) + " holds fewer than the "
            + std::to_string(file.size) + " bytes it declares");
    if (int code = zip_fclose(entry.release()); code != 0)
        return aboutArchive(path, entryText(archive, file) + ": " + libzipMessage(code));
    if (!output.close())
        return fileError(destination + "/" + file.path, errno);
    return {};
}

}

bool SSZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination)
{
    return static_cast<bool>(unzip(path, destination));
}

Result<void> SSZipArchive::unzip(const std::string& path, const std::string& destination,
    const ziparchive::UnzipLimits& limits)
{
    if (path.empty())
        return Error("the archive has no path");
    foundation::FileDescriptor source(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    auto archiveBytes = TRY(checkSource(path, source));

    int openError = 0;
    // libzip closes its own copy of the descriptor.
    int libzipDescriptor = ::fcntl(source.get(), F_DUPFD_CLOEXEC, 0);
    if (libzipDescriptor < 0)
        return fileError(path, errno);
    Archive archive(zip_fdopen(libzipDescriptor, ZIP_RDONLY, &openError));
    if (!archive) {
        ::close(libzipDescriptor);
        return aboutArchive(path, libzipMessage(openError));
    }
    auto entries = TRY(readEntries(archive.get(), path, source.get()));
    auto plan = ziparchive::planUnpacking(entries, limits, freeSpaceAt(destination), archiveBytes);
    if (!plan)
        return aboutArchive(path, plan.error().description());

    // From here on the folder takes back everything it made unless it is kept at the end.
    auto folder = TRY(DestinationFolder::open(destination));
    for (const std::string& subfolder : plan->folders) {
        TRY(folder.makeFolder(subfolder));
    }
    std::vector<char> buffer(chunkSize);
    for (const PlannedFile& file : plan->files) {
        TRY(unpackFile(archive.get(), file, folder, buffer, path, destination));
    }
    folder.keep();
    return {};
}
