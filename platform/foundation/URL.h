// URL: a file URL with the path operations the application uses, or any other URL kept as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

class URL {
public:
    // A file URL for a path; a relative path is taken relative to the working directory.
    static URL fileURLWithPath(const std::string& path);
    // Any absolute URL ("file:///books/a.epub", "app-settings:"); nothing when the text has no
    // scheme.
    static std::optional<URL> withString(const std::string& text);

    bool isFileURL() const { return m_scheme == "file"; }
    const std::string& scheme() const { return m_scheme; }
    // The full text of the URL, with the path percent-encoded for file URLs.
    std::string absoluteString() const;

    // The path without a trailing "/" (except for the root itself), percent-decoded.
    std::string path() const;
    // The last component of the path; "/" for the root, "" for an empty path.
    std::string lastPathComponent() const;
    URL appendingPathComponent(const std::string& component) const;
    // The same URL with "." and ".." components resolved and repeated "/" removed.
    URL standardizedFileURL() const;

    bool operator==(const URL&) const = default;

private:
    URL(std::string scheme, std::string rest)
        : m_scheme(std::move(scheme))
        , m_rest(std::move(rest))
    {
    }

    std::string m_scheme;
    std::string m_rest; // for file URLs the decoded path, otherwise everything after "scheme:"
};

// The bytes with ASCII letters, digits and keptPunctuation as they are and every other byte as
// %XX (upper-case hex): a name or path that survives any text channel and maps back byte for byte.
std::string percentEncoded(std::string_view bytes, std::string_view keptPunctuation);
// Every %XX as its byte; a malformed escape ("%zz", a lone "%") is kept as written, the way
// browsers treat it.
std::string percentDecoded(std::string_view text);

}
