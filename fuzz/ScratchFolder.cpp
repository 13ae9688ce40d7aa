// The scratch folder of a fuzz target.
#include "fuzz/ScratchFolder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fuzzing {

ScratchFolder& ScratchFolder::shared()
{
    static ScratchFolder folder;
    return folder;
}

ScratchFolder::ScratchFolder()
{
    std::error_code error;
    auto base = std::filesystem::temp_directory_path(error);
    std::string pattern = (error ? std::string("/tmp") : base.string()) + "/pagewyn-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("pagewyn fuzz: cannot make a scratch folder");
        std::abort();
    }
    m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ScratchFolder::freshPath(const std::string& stem, const std::string& suffix)
{
    return m_path + "/" + stem + "-" + std::to_string(m_next++) + suffix;
}

void removeAll(const std::string& path)
{
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error) {
        std::fprintf(
            stderr, "pagewyn fuzz: cannot remove %s: %s\n", path.c_str(), error.message().c_str());
        std::abort();
    }
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "pagewyn fuzz: cannot write %s\n", path.c_str());
        std::abort();
    }
}

}
