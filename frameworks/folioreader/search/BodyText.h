// A stretch of a page's body text as read, kept to show a match: its characters, where its blocks
// start, and the text folded for finding, each folded character knowing the character it came from.
#pragma once

#include "frameworks/folioreader/search/FoldedText.h"
#include "frameworks/folioreader/search/readBodyPiece.h"

#include <cstdint>
#include <string>
#include <vector>

namespace folioreader {

// Indices are counted from the stretch's first character, the place it was started at.
class BodyText {
public:
    static constexpr bool wantsBlocks = true;
    static constexpr bool wantsTextRuns = false;

    BodyPlace start;
    // The elements of the page the book hides, or none.
    const HiddenElements* hidden = nullptr;
    std::vector<char32_t> characters;
    FoldedText folded;

    // Empties the stretch, keeping its room, to read on from place.
    void restart(const BodyPlace& place);
    // Reads the next piece of the page into the stretch; answers false at the page's end.
    bool readPiece(std::string_view xhtml);
    // Reads on until the stretch holds the character at index last, or the page ends.
    void readThrough(std::string_view xhtml, std::size_t last);

    // Where the character at index starts, in UTF-16 code units from the stretch's start.
    std::uint64_t utf16At(std::size_t index) const;
    // The characters from..to as UTF-8, white space and the parting of blocks made single spaces,
    // none at either end; scripts, styles and ruby readings left out.
    std::string excerpt(std::size_t from, std::size_t to) const;
    // Whether words part at the boundary before the character at index.
    bool partsAt(std::size_t index) const;

    // The reading's sink (see readBodyPiece).
    void ascii(std::string_view run, const BodyPlace& place, bool matched);
    void character(char32_t c, const BodyPlace& place, bool matched);
    void separate(std::uint32_t character) { folded.separate(character - start.character); }
    void blockBreak(std::uint32_t character);

private:
    // The characters beyond the Basic Multilingual Plane, in order: few in most books.
    std::vector<std::uint32_t> m_astral;
    // The characters that begin a new block (a paragraph, a heading, a line break), in order.
    std::vector<std::uint32_t> m_breaks;
    // The stretches of characters not read as text (scripts, styles, ruby readings), [first,
    // end) in order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_unread;
    void addUnread(std::uint32_t first, std::uint32_t end);
    BodyPlace m_reading;
};

}
