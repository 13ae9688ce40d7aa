// Lexical resolution of entry names and hrefs; no file system is consulted.
#include "frameworks/folioreader/epub/EntryName.h"

#include "platform/foundation/URL.h"

#include <vector>

namespace folioreader {

namespace {

bool hasScheme(std::string_view href)
{
    std::size_t colon = href.find(':');
    return colon != std::string_view::npos && href.find('/') > colon;
}

bool addSegments(std::vector<std::string_view>& segments, std::string_view path)
{
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view segment = path.substr(start, end - start);
        if (segment == "..") {
            if (segments.empty())
                return false;
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    return true;
}

}

std::optional<std::string> resolveEntryName(std::string_view folder, std::string_view relative)
{
    if (relative.find('\0') != std::string_view::npos
        || folder.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::vector<std::string_view> segments;
    bool fromRoot = !relative.empty() && relative.front() == '/';
    if (!fromRoot && !addSegments(segments, folder))
        return std::nullopt;
    if (!addSegments(segments, relative) || segments.empty())
        return std::nullopt;
    std::string name;
    for (std::string_view segment : segments) {
        if (!name.empty())
            name += '/';
        name += segment;
    }
    return name;
}

std::optional<std::string> resolveHref(std::string_view folder, std::string_view href)
{
    href = href.substr(0, href.find_first_of("#?"));
    if (href.empty() || hasScheme(href))
        return std::nullopt;
    return resolveEntryName(folder, foundation::percentDecoded(href));
}

std::string_view folderOf(std::string_view entryName)
{
    std::size_t slash = entryName.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : entryName.substr(0, slash);
}

}
