// Text set into XML or HTML: the characters markup reads as its own written as references, so the
// text stands as it is inside an element or a quoted attribute value.
#pragma once

#include <string>
#include <string_view>

namespace foundation {

enum class LineBreaks { kept, asReferences };

// & < > " ' written &amp; &lt; &gt; &quot; &apos;; everything else as it is. With
// LineBreaks::asReferences, tabs and line breaks are written &#9; &#10; &#13; too, so an
// attribute value keeps them (a parser turns them into spaces there).
std::string markupEscaped(std::string_view text, LineBreaks breaks = LineBreaks::kept);

}
