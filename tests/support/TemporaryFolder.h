// TemporaryFolder: a fresh folder under /tmp that is removed, with everything in it, when the
// object goes away.
#pragma once

#include <string>

namespace fixtures {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    TemporaryFolder(TemporaryFolder&& other) noexcept;
    TemporaryFolder& operator=(TemporaryFolder&& other) noexcept;

    // The folder's absolute path, without a trailing "/".
    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string file(const std::string& name) const;

private:
    void remove();

    std::string m_path;
};

}
