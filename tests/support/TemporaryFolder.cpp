// TemporaryFolder: mkdtemp on creation, a recursive removal on destruction.
#include "tests/support/TemporaryFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>
#include <vector>

namespace fixtures {

TemporaryFolder::TemporaryFolder()
{
    std::string pattern = "/tmp/pagewyn-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error(
            std::string("cannot create a temporary folder: ") + std::strerror(errno));
    m_path = buffer.data();
}

TemporaryFolder::~TemporaryFolder()
{
    remove();
}

TemporaryFolder::TemporaryFolder(TemporaryFolder&& other) noexcept
    : m_path(std::exchange(other.m_path, {}))
{
}

TemporaryFolder& TemporaryFolder::operator=(TemporaryFolder&& other) noexcept
{
    if (this != &other) {
        remove();
        m_path = std::exchange(other.m_path, {});
    }
    return *this;
}

std::string TemporaryFolder::file(const std::string& name) const
{
    return m_path + "/" + name;
}

void TemporaryFolder::remove()
{
    if (m_path.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
    m_path.clear();
}

}
