// Text comparison the way the library orders and matches names: by Unicode scalar values of
// the canonically composed (NFC) forms, and by extended grapheme clusters for "characters".
#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace text {

// The NFC form. Text that is not valid UTF-8 is returned unchanged (and then compares by bytes).
std::string nfc(std::string_view text);
// True when nfc(text) would return the text itself; cheap for ASCII.
bool isKnownNFC(std::string_view text);

// Orders by the scalar values of the NFC forms: no case folding, no locale; a prefix comes first.
std::strong_ordering compare(std::string_view a, std::string_view b);
// Canonically equivalent texts are equal.
bool canonicallyEqual(std::string_view a, std::string_view b);

// The first extended grapheme cluster; empty for the empty text.
std::string_view firstCharacter(std::string_view text);
// True when the text's first characters are, canonically, exactly those of the prefix.
bool hasPrefix(std::string_view text, std::string_view prefix);

}
