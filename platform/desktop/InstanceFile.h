// InstanceFile: the private file through which later commands find the running instance that
// serves a library — its address, its token, its process and its library folder. One file per
// library folder, so instances on different libraries never take each other's books. The file
// is readable by this user only (0600, in a 0700 folder), written when the host starts and
// removed when it ends; one left by a program that was killed is found stale and replaced.
#pragma once

#include "platform/foundation/Result.h"

#include <optional>
#include <string>
#include <sys/types.h>

namespace desktop {

// The header a request carries the record's token in; the host lets a request through by it.
inline constexpr const char* accessTokenHeader = "X-Pagewyn-Token";

struct InstanceRecord {
    // "http://127.0.0.1:8080": where a program on this machine reaches the host.
    std::string origin;
    std::string token;
    std::string documents;
    pid_t pid = 0;
    // The address the instance printed at its start, with its token: what `pagewyn --address`
    // prints for a person, and for a service whose start no one saw.
    std::string address;
};

class InstanceFile {
public:
    // The file for the library folder: in $XDG_RUNTIME_DIR/pagewyn, else in the "run" folder of
    // this user's cache folder, named after the library folder's absolute path.
    static std::string pathFor(const std::string& documentsFolder);
    // The folder the files live in.
    static std::string folder();

    // Writes the record for the library, replacing any file there (atomically: a reader sees the
    // old file or the new one, never half of either). The file is removed when the object goes,
    // unless another instance has replaced it by then.
    static foundation::Result<InstanceFile> publish(
        const InstanceRecord& record, const std::string& path);
    // The record in the file, or an error when there is none or it cannot be read.
    static foundation::Result<InstanceRecord> read(const std::string& path);

    InstanceFile(InstanceFile&& other) noexcept;
    InstanceFile& operator=(InstanceFile&&) = delete;
    InstanceFile(const InstanceFile&) = delete;
    ~InstanceFile();

    const std::string& path() const { return m_path; }
    const std::string& token() const { return m_token; }

    // Removes the file at the path unless another instance has replaced it (its token differs).
    static void removeIfStillOurs(const std::string& path, const std::string& token);

private:
    InstanceFile(std::string path, std::string token)
        : m_path(std::move(path))
        , m_token(std::move(token))
    {
    }

    std::string m_path;
    std::string m_token;
};

// The library folder as instances name it: absolute, with "." and ".." and links resolved as far
// as the folder exists.
std::string normalizedDocumentsFolder(const std::string& folder);

}
