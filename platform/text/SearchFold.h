// Search folding: the one form in which text is compared when the user looks for something (a
// book in the library, a word in a book), so that case, accents and width make no difference in
// any script.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// The folded form of one character: none, one or several characters (no character's folding
// is longer than 18).
struct FoldedCharacter {
    std::array<char32_t, 24> characters {};
    std::size_t size = 0;

    const char32_t* begin() const { return characters.data(); }
    const char32_t* end() const { return characters.data() + size; }
};

// One character folded: compatibility-decomposed (full- and half-width forms become their
// ordinary letters, ligatures their letters), case-folded (ß becomes ss, a final sigma σ),
// without combining accents and without control characters. Spacing marks stay (the vowel signs
// of Indic scripts are letters' parts, not accents), and so do the Japanese voicing marks: ガ and
// カ are different sounds. Dotless ı folds to i, like the dotted İ, so text typed without Turkish
// letters still finds it. A value that is no character folds to U+FFFD.
FoldedCharacter searchFoldCharacter(char32_t character);

// Text for a "contains" test, every character folded as above. Bytes that are not UTF-8 become
// U+FFFD each. One pass; never fails.
std::string searchFold(std::string_view text);

}
