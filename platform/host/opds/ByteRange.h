// ByteRange: the part of a download a request asks for with its Range header: one range of bytes
// (from a start to an end, from a start on, or the last N bytes) is served exactly; several are
// answered with the whole file, as is a range whose If-Range names another version of the file.
#pragma once

#include <cstdint>
#include <string>

namespace httplib {
struct Request;
}

namespace host {

struct ByteRange {
    enum class Kind { whole, part, unsatisfiable };
    Kind kind = Kind::whole;
    // The bytes to send, of a file of size bytes.
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint64_t size = 0;

    // What the request asks of a file of size bytes whose version the ETag and the
    // Last-Modified date name, as they are sent.
    static ByteRange requested(const httplib::Request& request, std::uint64_t size,
        const std::string& etag, const std::string& lastModified);

    // "bytes FIRST-LAST/SIZE" for a part, "bytes */SIZE" for a range the file cannot satisfy.
    std::string contentRange() const;
};

}
