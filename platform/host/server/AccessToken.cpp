// The access token: 32 random bytes, and its comparison in constant time.
#include "platform/host/server/AccessToken.h"

#include "platform/desktop/InstanceFile.h"
#include "platform/foundation/randomHex.h"

#include <algorithm>
#include <cctype>

namespace host {

std::string makeAccessToken()
{
    return foundation::randomHex(32);
}

bool tokensEqual(std::string_view presented, std::string_view expected)
{
    if (presented.size() != expected.size() || expected.empty())
        return false;
    unsigned char difference = 0;
    for (std::size_t index = 0; index < expected.size(); ++index)
        difference |= static_cast<unsigned char>(presented[index] ^ expected[index]);
    return difference == 0;
}

bool headCarriesToken(std::string_view head, std::string_view token)
{
    const std::string_view name = desktop::accessTokenHeader;
    auto sameLetters = [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); };
    // The request line is skipped; the head ends at its first empty line.
    for (std::size_t start = head.find('\n'); start != std::string_view::npos && start + 1 < head.size();) {
        std::size_t end = head.find('\n', start + 1);
        std::string_view line = head.substr(start + 1, end == std::string_view::npos ? std::string_view::npos : end - start - 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            return false;
        if (line.size() > name.size() && line[name.size()] == ':'
            && std::equal(name.begin(), name.end(), line.begin(), sameLetters)) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.remove_suffix(1);
            return tokensEqual(value, token);
        }
        start = end;
    }
    return false;
}

}
