// Fuzz target: an HTML fragment read into styled text, as the about box reads its message, and
// made plain text, as a book's description is: at most the characters asked for, valid UTF-8 with
// no control character, whatever the bytes.
#include "platform/html/HTMLReader.h"
#include "platform/html/PlainText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utf8proc.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto text = html::attributedStringFromHTML(bytes);
    if (text)
        (void)text->string();

    constexpr std::size_t maximum = 100;
    auto plain = html::plainText(bytes, maximum);
    std::size_t characters = 0;
    for (std::size_t at = 0; at < plain.size(); ++characters) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(plain.data() + at),
            static_cast<utf8proc_ssize_t>(plain.size() - at), &point);
        if (length <= 0 || point < 0x20 || (point >= 0x7F && point <= 0x9F))
            std::abort();
        at += static_cast<std::size_t>(length);
    }
    if (characters > maximum || (!plain.empty() && (plain.front() == ' ' || plain.back() == ' ')))
        std::abort();
    return 0;
}
