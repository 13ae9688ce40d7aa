// The files of a book written as a zip archive with libzip, or into a folder they cannot leave.
#include "tests/support/BookWriting.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fixtures {

namespace {

// Whether name, "/"-separated, stays below the folder it is written into.
bool staysInside(const std::string& name)
{
    if (name.empty() || name.front() == '/' || name.back() == '/'
        || name.find('\0') != std::string::npos)
        return false;
    for (std::size_t start = 0; start <= name.size();) {
        auto end = std::min(name.find('/', start), name.size());
        auto segment = name.substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..")
            return false;
        start = end + 1;
    }
    return true;
}

[[noreturn]] void failWithArchive(zip_t* archive, const std::string& what)
{
    std::string message = what + ": " + zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error(message);
}

}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::filesystem::path file(path);
    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void writeZip(const std::string& path, const std::vector<Entry>& entries)
{
    int errorCode = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &errorCode);
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, errorCode);
        std::string message = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw std::runtime_error("cannot create " + path + ": " + message);
    }
    for (const auto& entry : entries) {
        const std::string& bytes = entry.linkTarget ? *entry.linkTarget : entry.bytes;
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        zip_int64_t index = source
            ? zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE)
            : -1;
        if (index < 0) {
            if (source)
                zip_source_free(source);
            failWithArchive(archive, "cannot add " + entry.name + " to " + path);
        }
        zip_set_file_compression(
            archive, zip_uint64_t(index), entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        // A link in a zip archive is an entry made on Unix whose mode says so and whose bytes are
        // its target.
        if (entry.linkTarget
            && zip_file_set_external_attributes(
                   archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16)
                != 0)
            failWithArchive(archive, "cannot mark " + entry.name + " as a link in " + path);
    }
    if (zip_close(archive) != 0)
        failWithArchive(archive, "cannot write " + path);
}

void writeFolder(const std::string& path, const std::vector<Entry>& entries)
{
    namespace fs = std::filesystem;
    fs::create_directories(path);
    const fs::path root = fs::canonical(path);
    for (const auto& entry : entries) {
        if (!staysInside(entry.name))
            throw std::runtime_error("the entry \"" + entry.name + "\" would lie outside " + path);
        fs::path target = root / entry.name;
        fs::create_directories(target.parent_path());
        auto folder = fs::canonical(target.parent_path());
        auto [end, _] = std::mismatch(root.begin(), root.end(), folder.begin(), folder.end());
        std::error_code ignored;
        if (end != root.end() || fs::is_symlink(target, ignored))
            throw std::runtime_error(
                "the entry \"" + entry.name + "\" would be written through a link in " + path);
        if (entry.linkTarget)
            fs::create_symlink(*entry.linkTarget, target);
        else
            writeFile(target.string(), entry.bytes);
    }
}

}
