// Search folding: the form in which typed text and a book's title and author are compared when
// the user looks for a book, so that case, accents and width make no difference in any script.
#pragma once

#include <string>
#include <string_view>

namespace text {

// Text for a "contains" test: compatibility-decomposed (full- and half-width forms become their
// ordinary letters), case-folded (ß becomes ss, a final sigma σ), without combining accents and
// without control characters. The Japanese voicing marks stay: ガ and カ are different sounds.
// Dotless ı folds to i, like the dotted İ, so text typed without Turkish letters still finds it.
// Bytes that are not UTF-8 become U+FFFD each. One pass; never fails.
std::string searchFold(std::string_view text);

}
