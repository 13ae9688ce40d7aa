// Writing, reading and removing the instance file.
#include "platform/desktop/InstanceFile.h"

#include "platform/desktop/PrivateFolders.h"
#include "platform/foundation/Digest.h"
#include "platform/foundation/hexEncoded.h"
#include "platform/foundation/writeFileAtomically.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {

// Larger files are not instance files; reading stops there.
constexpr std::size_t largestRecord = 64 * 1024;

// A stable short name for a path, the same in every build.
std::string hashedName(const std::string& text)
{
    return foundation::hexEncoded(foundation::Digest().add(text).value());
}

foundation::Error failure(const std::string& path, const std::string& what)
{
    return foundation::Error(path + ": " + what);
}

}

std::string normalizedDocumentsFolder(const std::string& folder)
{
    std::error_code error;
    auto absolute = std::filesystem::absolute(folder, error);
    if (error)
        return folder;
    auto normal = std::filesystem::weakly_canonical(absolute, error);
    std::string text = (error ? absolute.lexically_normal() : normal).string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string InstanceFile::folder()
{
    if (auto runtime = pagewynRuntimeFolder())
        return *runtime;
    return pagewynCacheFolder() + "/run";
}

std::string InstanceFile::pathFor(const std::string& documentsFolder)
{
    return folder() + "/instance-" + hashedName(normalizedDocumentsFolder(documentsFolder))
        + ".json";
}

foundation::Result<InstanceFile> InstanceFile::publish(
    const InstanceRecord& record, const std::string& path)
{
    const std::string parent = std::filesystem::path(path).parent_path().string();
    TRY(makePrivateFolder(parent));
    nlohmann::json json = {
        { "origin", record.origin },
        { "token", record.token },
        { "documents", record.documents },
        { "pid", record.pid },
        { "address", record.address },
    };
    std::string text = json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";

    TRY(foundation::writeFileAtomically(path, text, 0600));
    return InstanceFile(path, record.token);
}

foundation::Result<InstanceRecord> InstanceFile::read(const std::string& path)
{
    int file = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (file < 0)
        return failure(path, std::strerror(errno));
    struct stat status { };
    std::string text;
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::getuid()
        && static_cast<std::size_t>(status.st_size) <= largestRecord) {
        text.resize(static_cast<std::size_t>(status.st_size));
        auto got = ::read(file, text.data(), text.size());
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(file);
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return failure(path, "not an instance file");
    InstanceRecord record;
    auto textOf = [&](const char* name) {
        auto member = json.find(name);
        return member != json.end() && member->is_string() ? member->get<std::string>()
                                                           : std::string();
    };
    record.origin = textOf("origin");
    record.token = textOf("token");
    record.documents = textOf("documents");
    record.address = textOf("address");
    if (auto pid = json.find("pid"); pid != json.end() && pid->is_number_integer())
        record.pid = pid->get<pid_t>();
    if (record.origin.rfind("http://", 0) != 0 || record.token.empty())
        return failure(path, "not an instance file");
    return record;
}

InstanceFile::InstanceFile(InstanceFile&& other) noexcept
    : m_path(std::move(other.m_path))
    , m_token(std::move(other.m_token))
{
    other.m_path.clear();
}

InstanceFile::~InstanceFile()
{
    if (!m_path.empty())
        removeIfStillOurs(m_path, m_token);
}

void InstanceFile::removeIfStillOurs(const std::string& path, const std::string& token)
{
    // Another instance of the same library may have taken the file over since: it stays.
    auto current = read(path);
    if (current && current->token == token)
        ::unlink(path.c_str());
}

}
