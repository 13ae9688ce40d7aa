// A request head's lines: split, trimmed and bounded, nothing decoded.
#include "platform/host/server/RequestHead.h"

#include <optional>

namespace host {

namespace {

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The next line of the head from `at`, without its line break; at moves past it. Nothing past
// the last line break.
std::optional<std::string_view> nextLine(std::string_view head, std::size_t& at)
{
    auto end = head.find('\n', at);
    if (end == std::string_view::npos)
        return std::nullopt;
    auto line = head.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

}

bool readRequestHead(std::string_view head, httplib::Request& request)
{
    std::size_t at = 0;
    auto requestLine = nextLine(head, at);
    if (!requestLine)
        return false;
    auto space = requestLine->find(' ');
    auto lastSpace = requestLine->rfind(' ');
    if (space == std::string_view::npos || space == 0 || lastSpace == space)
        return false;
    request.method = std::string(requestLine->substr(0, space));
    auto target = requestLine->substr(space + 1, lastSpace - space - 1);
    request.path = std::string(target.substr(0, target.find('?')));
    for (;;) {
        auto line = nextLine(head, at);
        if (!line)
            return false;
        if (line->empty())
            return true;
        auto colon = line->find(':');
        if (colon == std::string_view::npos || colon == 0)
            return false;
        request.headers.emplace(std::string(trimmed(line->substr(0, colon))),
            std::string(trimmed(line->substr(colon + 1))));
    }
}

}
