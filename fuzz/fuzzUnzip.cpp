// Fuzz target: the unpacker, given any bytes as a zip archive. Each run unpacks into a fresh
// destination at the bottom of a chain of sentinel folders and then checks, aborting on the first
// fault, that nothing landed beside the destination, up the chain or beside the run, that the
// archive is as it was, that a failed unpacking left no destination behind, and that a
// successful one made only plain files and folders.
#include "frameworks/ziparchive/SSZipArchive.h"
#include "fuzz/ScratchFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

namespace {

[[noreturn]] void fault(const std::string& what, const std::filesystem::path& path)
{
    std::fprintf(stderr, "pagewyn fuzz: unpacking %s: %s\n", what.c_str(), path.c_str());
    std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    namespace fs = std::filesystem;
    auto& scratch = fuzzing::ScratchFolder::shared();
    fs::path run = scratch.freshPath("run");
    fs::path archive = run / "book.epub";
    fs::path chain = run / "a" / "b" / "c";
    fs::path destination = chain / "destination";
    fs::create_directories(chain);
    fuzzing::writeFile(archive.string(), std::string(reinterpret_cast<const char*>(data), size));

    // Far above what a fuzz input can hold compressed, low enough to keep each run quick.
    ziparchive::UnzipLimits limits;
    limits.maxTotalBytes = 64 << 20;
    limits.maxEntries = 10'000;
    bool unpacked
        = static_cast<bool>(SSZipArchive::unzip(archive.string(), destination.string(), limits));

    std::set<fs::path> expected { archive, run / "a", run / "a" / "b", chain };
    if (unpacked)
        expected.insert(destination);
    else if (fs::exists(fs::symlink_status(destination)))
        fault("a failed unpacking left its destination behind", destination);
    for (auto it = fs::recursive_directory_iterator(run); it != fs::recursive_directory_iterator();
         ++it) {
        const fs::path& path = it->path();
        if (expected.count(path))
            continue;
        auto relative = path.lexically_relative(destination);
        bool inside = !relative.empty() && *relative.begin() != "..";
        if (!inside)
            fault("wrote outside the destination", path);
        auto status = fs::symlink_status(path);
        if (!fs::is_regular_file(status) && !fs::is_directory(status))
            fault("made something other than a file or folder", path);
        if (fs::is_directory(status)
            && (status.permissions() & fs::perms::owner_exec) == fs::perms::none)
            fault("made a folder it cannot enter", path);
    }

    for (auto& item : fs::directory_iterator(scratch.path())) {
        if (item.path() != run)
            fault("wrote beside the run's folder", item.path());
    }
    if (fs::file_size(archive) != size)
        fault("changed the archive itself", archive);

    fuzzing::removeAll(run.string());
    return 0;
}
