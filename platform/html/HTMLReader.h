// Reading an HTML fragment into styled text, the way the platform's HTML import does for the
// handful of elements short rich texts use: center, br, font (size, color, face), b, i, and
// paragraphs.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/AttributedString.h"

#include <string_view>

namespace html {

// The text of the fragment with its styles. Text outside any font element is the default
// 12-point Times in black. An error when the bytes are not UTF-8 or are too large, or hold too
// many elements, to be a fragment meant for reading. Styles nest 64 elements deep; text nested
// deeper keeps the style reached there.
foundation::Result<ui::AttributedString> attributedStringFromHTML(std::string_view bytes);

// The size in points of an HTML font size: "1" to "7", or relative to 3 as "+N" / "-N";
// nothing for a value that is neither.
std::optional<double> pointSizeOfFontSize(std::string_view value);

// A colour written as a name ("black", "white", ...) or as #rgb / #rrggbb; nothing otherwise.
std::optional<ui::Color> colorOfHTMLValue(std::string_view value);

}
