// The window a request acts in: the name its tab was given, in a header of its own; a request
// without the header is a client that knows nothing of windows.
#pragma once

#include <httplib.h>
#include <optional>
#include <string>

namespace host {

inline constexpr const char* windowHeader = "X-Pagewyn-Window";

inline std::optional<std::string> windowNamedBy(const httplib::Request& request)
{
    if (!request.has_header(windowHeader))
        return std::nullopt;
    return request.get_header_value(windowHeader);
}

}
