// Range and If-Range read from a request whose Range header the server has already parsed.
#include "platform/host/opds/ByteRange.h"

#include <httplib.h>

namespace host {

ByteRange ByteRange::requested(const httplib::Request& request, std::uint64_t size,
    const std::string& etag, const std::string& lastModified)
{
    ByteRange whole { Kind::whole, 0, size, size };
    // The server keeps -1 for a bound the header leaves out.
    if (request.ranges.size() != 1)
        return whole;
    // A range of another version of the file would splice two files together: the whole one is
    // sent instead. A weak ETag never matches.
    if (request.has_header("If-Range")) {
        auto validator = request.get_header_value("If-Range");
        if (validator != etag && validator != lastModified)
            return whole;
    }
    auto [first, last] = request.ranges.front();
    ByteRange unsatisfiable { Kind::unsatisfiable, 0, 0, size };
    if (first < 0) {
        // The last N bytes, all of them when the file is shorter.
        if (last <= 0 || size == 0)
            return unsatisfiable;
        auto length = std::min<std::uint64_t>(std::uint64_t(last), size);
        return { Kind::part, size - length, length, size };
    }
    if (std::uint64_t(first) >= size)
        return unsatisfiable;
    std::uint64_t end
        = last < 0 ? size - 1 : std::min<std::uint64_t>(std::uint64_t(last), size - 1);
    if (end < std::uint64_t(first))
        return whole;
    return { Kind::part, std::uint64_t(first), end - std::uint64_t(first) + 1, size };
}

std::string ByteRange::contentRange() const
{
    if (kind == Kind::unsatisfiable)
        return "bytes */" + std::to_string(size);
    return "bytes " + std::to_string(offset) + "-" + std::to_string(offset + length - 1) + "/"
        + std::to_string(size);
}

}
