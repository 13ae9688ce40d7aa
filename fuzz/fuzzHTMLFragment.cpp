// Fuzz target: an HTML fragment read into styled text, as the about box reads its message.
#include "platform/html/HTMLReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto text = html::attributedStringFromHTML({ reinterpret_cast<const char*>(data), size });
    if (text)
        (void)text->string();
    return 0;
}
