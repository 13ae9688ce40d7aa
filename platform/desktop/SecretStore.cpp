// The secret store's file: a first line naming the format, one tab-separated line per entry
// (tabs, line breaks and backslashes inside a field escaped), and a last line "end", so a file
// cut short is told from a whole one.
#include "platform/desktop/SecretStore.h"

#include "platform/desktop/PrivateFolders.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/escapedField.h"
#include "platform/foundation/randomHex.h"
#include "platform/foundation/writeFileAtomically.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {

constexpr const char* header = "pagewyn-secrets 1";
constexpr const char* footer = "end";
// Far more than any number of devices a person pairs: a larger file is not read into memory.
constexpr off_t largestStore = 1024 * 1024;

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos;
         start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

SecretStoreContents distrusted(std::string why)
{
    return { {}, std::move(why) };
}

std::optional<std::string> exposureOf(const struct stat& status)
{
    if (status.st_uid != ::getuid())
        return "it belonged to another user";
    if ((status.st_mode & 077) != 0)
        return "it was readable by other users";
    return std::nullopt;
}

}

std::string secretStorePath()
{
    return pagewynConfigFolder() + "/secrets";
}

SecretStoreContents readSecretStore(const std::string& path)
{
    foundation::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file.isOpen())
        return distrusted(errno == ENOENT ? "there was none" : "it could not be read");
    struct stat status { };
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_size > largestStore)
        return distrusted("it could not be read");
    if (auto exposure = exposureOf(status))
        return distrusted(*exposure);
    if (status.st_size == 0)
        return distrusted("it was empty");
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    if (!foundation::readAllAt(file.get(), bytes.data(), bytes.size(), 0))
        return distrusted("it could not be read");
    auto lines = split(bytes, '\n');
    // Whole: the header, entries, the footer, and the line break that ends it.
    if (lines.size() < 3 || lines.front() != header || lines.back() != ""
        || lines[lines.size() - 2] != footer)
        return distrusted("it was cut short or damaged");
    SecretStoreContents contents;
    for (std::size_t index = 1; index + 2 < lines.size(); ++index) {
        SecretEntry entry;
        auto fields = split(lines[index], '\t');
        for (std::size_t at = 0; at < fields.size(); ++at) {
            auto field = foundation::unescapedField(fields[at]);
            if (!field)
                return distrusted("it was cut short or damaged");
            if (at == 0)
                entry.kind = std::move(*field);
            else
                entry.fields.push_back(std::move(*field));
        }
        contents.entries.push_back(std::move(entry));
    }
    return contents;
}

std::optional<std::string> secretStoreExposure(const std::string& path)
{
    struct stat status { };
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    return exposureOf(status);
}

foundation::Result<void> writeSecretStore(
    const std::string& path, const std::vector<SecretEntry>& entries)
{
    auto folder = std::filesystem::path(path).parent_path().string();
    if (auto made = makePrivateFolder(folder); !made)
        return made.error();
    std::string text = std::string(header) + "\n";
    for (auto& entry : entries) {
        text += foundation::escapedField(entry.kind);
        for (auto& field : entry.fields)
            text += "\t" + foundation::escapedField(field);
        text += "\n";
    }
    text += std::string(footer) + "\n";
    return foundation::writeFileAtomically(path, text, 0600);
}

const SecretEntry* findSecret(const std::vector<SecretEntry>& entries, const std::string& kind)
{
    for (auto& entry : entries) {
        if (entry.kind == kind)
            return &entry;
    }
    return nullptr;
}

std::string makeTypableSecret(std::size_t length)
{
    // 32 letters and digits: each random byte gives 5 bits without bias (256 is a multiple of 32).
    static constexpr char alphabet[] = "abcdefghijkmnpqrstuvwxyz23456789";
    static_assert(sizeof alphabet - 1 == 32);
    auto hex = foundation::randomHex(length);
    std::string secret;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2)
        secret += alphabet[std::stoi(hex.substr(at, 2), nullptr, 16) % 32];
    return secret;
}

}
