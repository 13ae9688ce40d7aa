// XPointer: a place in a book as reading devices that sync progress name it, such as
// "/body/DocFragment[14]/body/div/p[23]/text().157": the 14th document of the spine, then elements
// below its body by name and position among the siblings of that name (from 1; none, the first),
// then the text node among the element's text nodes that hold more than white space, and the
// character in it. Turned to and from the reader's places: the character offset of a document's
// body text, counted as find in the book counts it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

struct XPointer {
    struct Step {
        std::string name;
        std::size_t position = 1;
        bool operator==(const Step&) const = default;
    };
    // The spine document, from 1.
    std::size_t fragment = 1;
    std::vector<Step> steps;
    // The text node (from 1) and the character in it (in Unicode characters); no text node: the
    // element's start.
    std::optional<std::size_t> textNode;
    std::uint64_t character = 0;

    bool operator==(const XPointer&) const = default;

    // Nothing when the text is no XPointer of this form; positions and offsets are bounded.
    static std::optional<XPointer> parse(std::string_view text);
    std::string text() const;
};

// The XPointer of the first character that is not white space at or after offset (in UTF-16 code
// units of the body's text) of the XHTML document, the fragment-th of its book; the body's start
// when the document has no such character.
XPointer xpointerAt(std::string_view xhtml, std::size_t fragment, std::uint64_t offset);

// The offset of the pointer's character in the XHTML document (the pointer's fragment), in UTF-16
// code units of the body's text; its element's start when its text node is not there, the end
// of its text node when the character is past it. Nothing when no element of the document stands
// at the pointer's steps.
std::optional<std::uint64_t> offsetOf(std::string_view xhtml, const XPointer& pointer);

}
