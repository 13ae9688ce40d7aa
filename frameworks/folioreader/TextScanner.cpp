// The scan compares sixteen bytes at once with SSE2; without it (other machines) it stops at every
// candidate byte and every byte beyond ASCII, as correct and slower.
#include "frameworks/folioreader/TextScanner.h"

#include "frameworks/folioreader/FoldedText.h"
#include "platform/text/SearchFold.h"

namespace folioreader {

namespace {

unsigned char upperAscii(unsigned char c)
{
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

// The bits set (without relying on an instruction the machine may lack).
[[maybe_unused]] unsigned bitCount(unsigned bits)
{
    bits = bits - ((bits >> 1) & 0x55555555u);
    bits = (bits & 0x33333333u) + ((bits >> 2) & 0x33333333u);
    return (((bits + (bits >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24;
}

// For each ASCII character, the first bytes of the two-byte characters (U+0080 to U+07FF) whose
// folding holds it: bit n stands for 0xC0 + n. Made once, from 1,920 characters.
const std::array<std::uint32_t, 128>& twoByteLeadsHolding()
{
    static const auto holding = [] {
        std::array<std::uint32_t, 128> leads {};
        for (char32_t c = 0x80; c < 0x800; ++c) {
            if (isSearchSpace(c))
                continue;
            for (char32_t part : text::searchFoldCharacter(c)) {
                if (part < 0x80)
                    leads[part] |= std::uint32_t(1) << (c >> 6);
            }
        }
        return leads;
    }();
    return holding;
}

}

TextScanner::TextScanner(std::u32string_view query)
{
    char32_t first = query.front();
    if (first >= 0x80)
        return;
    m_lower = static_cast<unsigned char>(first);
    m_upper = upperAscii(m_lower);
    for (std::size_t i = 0; i < m_followers.size() && i + 1 < query.size(); ++i) {
        char32_t c = query[i + 1];
        // A space in the query stands for any run of white space, so nothing after it is checked.
        if (c == U' ' && i == 0)
            break;
        bool plain = c > 0x20 && c < 0x7F;
        auto byte = plain ? static_cast<unsigned char>(c) : static_cast<unsigned char>(0);
        m_followers[i] = { byte, upperAscii(byte), false };
        if (c == U' ')
            break;
    }
#ifdef __SSE2__
    m_passesTwoByteCharacters = true;
    for (unsigned lead = 0xC2; lead <= 0xDF; ++lead) {
        if (twoByteLeadsHolding()[first] >> (lead - 0xC0) & 1)
            m_keptLeads[m_keptLeadCount++] = _mm_set1_epi8(char(lead));
    }
#endif
}

std::size_t TextScanner::next(std::string_view text, std::size_t at, bool looking, std::uint32_t& passed) const
{
    const unsigned char lower = looking ? m_lower : 0x80;
    const unsigned char upper = looking ? m_upper : 0x80;
#ifdef __SSE2__
    auto repeated = [](unsigned char byte) { return _mm_set1_epi8(char(byte)); };
    const __m128i firsts[] = { repeated(lower), repeated(upper) };
    const __m128i followers[][2] = { { repeated(m_followers[0].lower), repeated(m_followers[0].upper) },
        { repeated(m_followers[1].lower), repeated(m_followers[1].upper) } };
    auto equal = [](__m128i v, const __m128i (&bytes)[2]) { return _mm_or_si128(_mm_cmpeq_epi8(v, bytes[0]), _mm_cmpeq_epi8(v, bytes[1])); };
    // Printable ASCII other than the space: as signed bytes, above 0x20 and below 0x7F.
    auto notPlain = [](__m128i v) {
        return _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x21)), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
    };
    // Two bytes beyond the block are read to check what follows its candidates.
    for (; at + 18 <= text.size(); at += 16) {
        auto bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        auto candidates = equal(bytes, firsts);
        if (looking && !m_followers[0].any) {
            // A byte that is not plain (a tag, an entity, an accent, a space) may still fold to
            // what the query wants: only plain bytes are told apart here.
            auto next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + 1));
            auto nextNotPlain = notPlain(next);
            auto follows = _mm_or_si128(nextNotPlain, equal(next, followers[0]));
            if (!m_followers[1].any) {
                auto after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + 2));
                follows = _mm_and_si128(follows, _mm_or_si128(nextNotPlain, _mm_or_si128(notPlain(after), equal(after, followers[1]))));
            }
            candidates = _mm_and_si128(candidates, follows);
        }
        auto beyondAscii = unsigned(_mm_movemask_epi8(bytes));
        auto wanted = unsigned(_mm_movemask_epi8(candidates)) & ~beyondAscii;
        auto passing = 0u;
        if (beyondAscii != 0 && (!looking || m_passesTwoByteCharacters)) {
            // As signed bytes 0x80-0xBF are below -64, and 0xC2-0xDF between -63 and -32.
            auto continuing = unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(bytes, _mm_set1_epi8(-64))));
            auto leads = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(-63)), _mm_cmplt_epi8(bytes, _mm_set1_epi8(-32)))));
            if (looking) {
                auto kept = _mm_setzero_si128();
                for (std::size_t i = 0; i < m_keptLeadCount; ++i)
                    kept = _mm_or_si128(kept, _mm_cmpeq_epi8(bytes, m_keptLeads[i]));
                leads &= ~unsigned(_mm_movemask_epi8(kept));
            }
            // A lead followed by a continuation byte in this block is a whole character.
            auto whole = leads & (continuing >> 1);
            passing = whole | whole << 1;
        }
        if (auto stops = wanted | (beyondAscii & ~passing)) {
            auto stop = unsigned(__builtin_ctz(stops));
            passed += bitCount(passing & ((1u << stop) - 1)) / 2;
            return at + stop;
        }
        passed += bitCount(passing) / 2;
    }
#endif
    for (; at < text.size(); ++at) {
        auto b = static_cast<unsigned char>(text[at]);
        if (b >= 0x80 || b == lower || b == upper)
            return at;
    }
    return text.size();
}

}
