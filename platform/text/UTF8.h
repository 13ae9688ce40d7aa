// Whether bytes are well-formed UTF-8, as every reader of names and text here takes it.
#pragma once

#include <string_view>

namespace text {

// True for well-formed UTF-8: no overlong form, no surrogate, nothing past U+10FFFF, no
// sequence cut short.
bool isUTF8(std::string_view bytes);

}
