// Where in a page's text a match of a query may start: the bytes of its first character, passed
// over where the two characters after them cannot follow, and the characters beyond ASCII, passed
// over where they have two bytes and cannot fold to the first. Sixteen bytes are looked at at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace folioreader {

class TextScanner {
public:
    // For a folded query (not empty).
    explicit TextScanner(std::u32string_view query);

    // The first byte of text from at on that is a candidate or a character beyond ASCII not passed
    // over, or text's end; text from at must be whole characters. The continuation bytes of the
    // characters passed over are added to passed. Without looking only characters are counted.
    std::size_t next(std::string_view text, std::size_t at, bool looking, std::uint32_t& passed) const;

private:
    struct Follower {
        unsigned char lower = 0; // 0 where no plain byte can follow (a space or beyond ASCII)
        unsigned char upper = 0;
        bool any = true; // no character to check
    };
    unsigned char m_lower = 0x80; // 0x80 for a first character beyond ASCII: no ASCII byte
    unsigned char m_upper = 0x80;
    std::array<Follower, 2> m_followers;
    bool m_passesTwoByteCharacters = false;
    std::size_t m_keptLeadCount = 0;
#ifdef __SSE2__
    __m128i m_keptLeads[30] {}; // the first bytes of two-byte characters folding to the first, repeated
#endif
};

}
