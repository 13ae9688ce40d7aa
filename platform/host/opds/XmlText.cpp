// XML text: cleaned one code point at a time through utf8proc's decoder, then escaped.
#include "platform/host/opds/XmlText.h"

#include "platform/foundation/markupEscaped.h"

#include <utf8proc.h>

namespace host {

std::string xmlText(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    auto bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_ssize_t at = 0;
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    while (at < size) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(bytes + at, size - at, &point);
        if (length <= 0) {
            // One byte that starts no valid character; surrogates are refused here too.
            clean += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        // Tabs and line breaks stay, to be written as references; other control characters and
        // the noncharacters U+FFFE and U+FFFF have no place in XML.
        bool allowed = point == '\t' || point == '\n' || point == '\r'
            || (point >= 0x20 && point != 0xFFFE && point != 0xFFFF);
        if (allowed)
            clean.append(text.data() + at, static_cast<std::size_t>(length));
        at += length;
    }
    return foundation::markupEscaped(clean, foundation::LineBreaks::asReferences);
}

}
