// Fuzz target: the place a reading device pushes through the progress sync, resolved against a
// page of a book. The input is the pushed place (an XPointer), a line break, and the page's XHTML.
// Whatever is sent, a place that parses writes itself back as the same place, its offset in the
// page is found or refused without a crash, and the place Pagewyn names at that offset parses.
#include "frameworks/folioreader/sync/XPointer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto lineBreak = input.find('\n');
    std::string_view pushed = input.substr(0, lineBreak);
    std::string_view xhtml
        = lineBreak == std::string_view::npos ? std::string_view() : input.substr(lineBreak + 1);

    auto pointer = folioreader::XPointer::parse(pushed);
    if (!pointer)
        return 0;
    if (folioreader::XPointer::parse(pointer->text()) != pointer)
        std::abort();
    auto offset = folioreader::offsetOf(xhtml, *pointer);
    auto named = folioreader::xpointerAt(xhtml, pointer->fragment, offset.value_or(0));
    if (!folioreader::XPointer::parse(named.text()))
        std::abort();
    return 0;
}
