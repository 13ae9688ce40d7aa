// Text made safe for an XML 1.0 document: escaped, with what XML cannot carry cleaned away, so
// any title, author or search a library holds yields a well-formed feed.
#pragma once

#include <string>
#include <string_view>

namespace host {

// The markup characters, tabs and line breaks escaped; bytes that are not UTF-8 become U+FFFD;
// control characters but tab and line breaks, and U+FFFE and U+FFFF, are left out.
std::string xmlText(std::string_view text);

}
