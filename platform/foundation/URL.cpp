// File URL path arithmetic, percent coding of file URLs.
#include "platform/foundation/URL.h"

#include "platform/foundation/hexEncoded.h"

#include <filesystem>
#include <vector>

namespace foundation {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}

std::string percentDecoded(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0
            && hexValue(text[i + 2]) >= 0) {
            decoded += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string percentEncoded(std::string_view bytes, std::string_view keptPunctuation)
{
    std::string encoded;
    for (unsigned char c : bytes) {
        bool letterOrDigit
            = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (letterOrDigit || keptPunctuation.find(static_cast<char>(c)) != std::string_view::npos) {
            encoded += static_cast<char>(c);
        } else {
            char byte = static_cast<char>(c);
            encoded += '%' + hexEncoded(std::string_view(&byte, 1), LetterCase::upper);
        }
    }
    return encoded;
}

URL URL::fileURLWithPath(const std::string& path)
{
    if (path.empty() || path.front() != '/') {
        std::error_code ignored;
        auto base = std::filesystem::current_path(ignored).string();
        return URL("file", path.empty() ? base : base + "/" + path);
    }
    return URL("file", path);
}

std::optional<URL> URL::withString(const std::string& text)
{
    auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0
        || !std::isalpha(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    for (std::size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return std::nullopt;
    }
    std::string scheme = text.substr(0, colon);
    for (auto& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string rest = text.substr(colon + 1);
    if (scheme == "file") {
        if (rest.rfind("//", 0) == 0) {
            auto slash = rest.find('/', 2);
            rest = slash == std::string::npos ? "/" : rest.substr(slash);
        }
        if (rest.empty() || rest.front() != '/')
            return std::nullopt;
        return URL("file", percentDecoded(rest));
    }
    return URL(scheme, rest);
}

std::string URL::absoluteString() const
{
    if (isFileURL())
        return "file://" + percentEncoded(m_rest, "/-._~!$&'()*+,;=:@");
    return m_scheme + ":" + m_rest;
}

std::string URL::path() const
{
    if (!isFileURL()) {
        auto start = m_rest.rfind("//", 0) == 0 ? m_rest.find('/', 2) : 0;
        if (start == std::string::npos)
            return "";
        auto end = m_rest.find_first_of("?#", start);
        return percentDecoded(
            m_rest.substr(start, end == std::string::npos ? std::string::npos : end - start));
    }
    std::string path = m_rest;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string URL::lastPathComponent() const
{
    std::string full = path();
    if (full.empty() || full == "/")
        return full;
    return full.substr(full.rfind('/') + 1);
}

URL URL::appendingPathComponent(const std::string& component) const
{
    std::string base = path();
    if (base.empty() || base.back() != '/')
        base += '/';
    return URL(m_scheme, base + component);
}

URL URL::standardizedFileURL() const
{
    if (!isFileURL())
        return *this;
    std::vector<std::string> parts;
    std::size_t start = 0;
    const std::string& full = m_rest;
    while (start <= full.size()) {
        auto end = full.find('/', start);
        if (end == std::string::npos)
            end = full.size();
        std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string normal;
    for (auto& part : parts)
        normal += "/" + part;
    return URL("file", normal.empty() ? "/" : normal);
}

}
