// Well-formed UTF-8 by utf8proc's decoder, which refuses overlong forms and surrogates.
#include "platform/text/UTF8.h"

#include <utf8proc.h>

namespace text {

bool isUTF8(std::string_view bytes)
{
    auto data = reinterpret_cast<const utf8proc_uint8_t*>(bytes.data());
    const auto size = static_cast<utf8proc_ssize_t>(bytes.size());
    for (utf8proc_ssize_t at = 0; at < size;) {
        // ASCII needs no decoding: names and most text are mostly ASCII.
        if (data[at] < 0x80) {
            ++at;
            continue;
        }
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(data + at, size - at, &point);
        if (length <= 0)
            return false;
        at += length;
    }
    return true;
}

void appendUTF8(std::string& text, char32_t character)
{
    utf8proc_uint8_t bytes[4];
    auto length = utf8proc_encode_char(utf8proc_int32_t(character), bytes);
    text.append(reinterpret_cast<const char*>(bytes), std::size_t(length));
}

std::u32string charactersOf(std::string_view bytes)
{
    std::u32string characters;
    auto data = reinterpret_cast<const utf8proc_uint8_t*>(bytes.data());
    for (std::size_t at = 0; at < bytes.size();) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(data + at, utf8proc_ssize_t(bytes.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        at += std::size_t(length);
        characters.push_back(char32_t(point));
    }
    return characters;
}

}
