// XML text, one code point at a time through utf8proc's decoder.
#include "platform/host/opds/XmlText.h"

#include <utf8proc.h>

namespace host {

std::string xmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    auto bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_ssize_t at = 0;
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    while (at < size) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(bytes + at, size - at, &point);
        if (length <= 0) {
            // One byte that starts no valid character; surrogates are refused here too.
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        switch (point) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        // As references, so an attribute keeps them too (a parser turns them into spaces there).
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
            bool allowed = point >= 0x20 && point != 0xFFFE && point != 0xFFFF;
            if (allowed)
                out.append(text.data() + at, static_cast<std::size_t>(length));
        }
        at += length;
    }
    return out;
}

}
