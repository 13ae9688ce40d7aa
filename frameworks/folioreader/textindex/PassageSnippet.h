// A snippet of a passage found: a stretch of it around the first word the query marks, with every
// marked word's place in it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folioreader {

// Characters a snippet shows at most, and of them before its first mark.
inline constexpr std::size_t snippetLength = 200;
inline constexpr std::size_t snippetLead = 60;

struct Snippet {
    std::string text; // "…" where the passage goes on before or after it
    // [from, to) in UTF-16 code units of text, in order, none overlapping.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> marks;
};

// The snippet of a passage's text for the folded words: a word is marked where the passage,
// folded as searches fold it, holds it starting a word. A passage that begins with its chapter's
// heading (shown beside the snippet already) is shown from after it, unless only the heading
// holds the words.
Snippet snippetOf(std::string_view text, const std::vector<std::u32string>& marked,
    std::string_view heading = {});

}
