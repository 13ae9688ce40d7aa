// Where in a page's text a match of a query may start, and where the text ends: the bytes of the
// query's first character, passed over where the two characters after them cannot follow; the
// characters beyond ASCII, passed over where they have two bytes and cannot fold to the first; and
// the '<' and '&' that may start a tag or an entity. Sixteen bytes are looked at at once, or
// thirty-two where the processor can.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace folioreader {

// How many bytes a scan looks at at once: the widest the processor has unless asked for less.
enum class ScanWidth { one, sixteen, thirtyTwo };

class TextScanner {
public:
    // For a folded query (not empty).
    explicit TextScanner(std::u32string_view query, ScanWidth widest = ScanWidth::thirtyTwo);

    // The first byte of text from at on that is a candidate, a character beyond ASCII not passed
    // over, a '<' or a '&', or text's end; text from at must be whole characters. The continuation
    // bytes of the characters passed over are added to passed. Without looking no byte is a
    // candidate: characters are only counted.
    std::size_t next(
        std::string_view text, std::size_t at, bool looking, std::uint32_t& passed) const;

    // What the block scans compare with.
    struct Bytes {
        unsigned char lower
            = 0x80; // the first character, 0x80 where it is beyond ASCII: no ASCII byte
        unsigned char upper = 0x80;
        // The bytes that may follow it, 0 where no letter can (a space, a sign, beyond ASCII), and
        // how many of them are checked.
        std::array<unsigned char, 2> followers {};
        std::size_t followerCount = 0;
        // The first bytes of two-byte characters folding to the first: those characters are stops.
        std::array<unsigned char, 30> keptLeads {};
        std::size_t keptLeadCount = 0;
        // Whether two-byte characters are passed over while looking: not when the first character
        // is beyond ASCII, where every character beyond ASCII may start a match.
        bool passesTwoByteCharacters = false;
    };

private:
    Bytes m_bytes;
    ScanWidth m_width = ScanWidth::one;
};

}
