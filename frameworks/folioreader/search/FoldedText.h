// Text folded for finding in a book, character by character, each folded character remembering
// the character of the page it came from.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace folioreader {

// White space as a page's text has it: XHTML's own and Unicode's separators.
bool isSearchSpace(char32_t c);

// Folds characters into text with the library's search folding, noting for each folded character
// the index of the character it came from; white space runs become one space, and none opens the
// text.
class FoldedText {
public:
    std::vector<char32_t> text;
    std::vector<std::uint32_t> origin;

    void add(char32_t c, std::uint32_t from);
    // A run of printable ASCII and ASCII white space, the characters from first on: the bulk of a
    // page, folded without a call per character.
    void addAscii(std::string_view run, std::uint32_t first);
    // A boundary no match crosses (a script or a style between words).
    void separate(std::uint32_t from) { push(U'\0', from); }

private:
    struct Memo {
        char32_t character = 0;
        char32_t folded = 0;
        std::uint8_t size = 0; // of the folded form, or whiteSpace
    };
    static constexpr std::uint8_t whiteSpace = 0xFF;
    std::array<Memo, 1024> memos {};

    void addSpace(std::uint32_t from)
    {
        if (!text.empty() && text.back() != U' ')
            push(U' ', from);
    }

    void push(char32_t c, std::uint32_t from)
    {
        text.push_back(c);
        origin.push_back(from);
    }
};

}
