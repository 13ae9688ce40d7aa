// Whether bytes are well-formed UTF-8, as every reader of names and text here takes it.
#pragma once

#include <string>
#include <string_view>

namespace text {

// True for well-formed UTF-8: no overlong form, no surrogate, nothing past U+10FFFF, no
// sequence cut short.
bool isUTF8(std::string_view bytes);

// The character appended as UTF-8.
void appendUTF8(std::string& text, char32_t character);
// The characters of UTF-8 bytes, those that are no UTF-8 left out.
std::u32string charactersOf(std::string_view bytes);

}
