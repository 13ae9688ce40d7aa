// The scan looks at blocks of thirty-two bytes with AVX2 where the processor has it (asked once),
// else of sixteen with SSE2; the few bytes after the last block, and every byte on other machines,
// are looked at one by one, stopping at every candidate, every '<' and '&' and every byte beyond
// ASCII: as correct and slower.
#include "frameworks/folioreader/search/TextScanner.h"

#include "frameworks/folioreader/search/FoldedText.h"
#include "platform/text/SearchFold.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PAGEWYN_WIDE_SCAN 1
#endif

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

// Where a scan of blocks ended: at a stop, or where less than a block and the two bytes read after
// it are left.
struct BlockScan {
    std::size_t at = 0;
    bool stopped = false;
};

// What a block scan compares with, made ready for one call.
struct ScanSettings {
    unsigned char lower
        = '<'; // the first character's bytes; '<' (a stop anyway) where none may start a match
    unsigned char upper = '<';
    bool checksFollower[2] = { false, false };
    std::size_t keptLeadCount = 0;
    unsigned passesWhole = 0; // all bits where two-byte characters may be passed over, else none

    ScanSettings(const TextScanner::Bytes& scan, bool looking)
    {
        if (looking && scan.lower < 0x80) {
            lower = scan.lower;
            upper = scan.upper;
        }
        checksFollower[0] = looking && scan.followerCount > 0;
        checksFollower[1] = looking && scan.followerCount > 1;
        keptLeadCount = looking ? scan.keptLeadCount : 0;
        passesWhole = !looking || scan.passesTwoByteCharacters ? ~0u : 0u;
    }
};

// Each block scan finds, for its block, with no branch but the one taken at a stop:
// - the candidates whose next two bytes may follow them: only ASCII letters, which fold to
//   themselves in lower case, are told apart (anything else, a space, a tag, an entity, an accent,
//   may still fold to what the query wants); a byte compared with its case bit set to that of a
//   lower-case letter may match more than the letter, never less;
// - the '<' and '&';
// - the bytes beyond ASCII, less the two-byte characters passed over: a lead byte 0xC2-0xDF, not a
//   kept one, followed by a continuation byte 0x80-0xBF in the same block. As signed bytes
//   0x80-0xBF are below -64, and 0xC2-0xDF between -63 and -32.
// The two scans differ only in their width.

#ifdef __SSE2__
BlockScan narrowBlocks(const TextScanner::Bytes& scan, const char* text, std::size_t size,
    std::size_t at, bool looking, std::uint32_t& passed)
{
    using Block = __m128i;
    const ScanSettings settings(scan, looking);
    auto repeated = [](unsigned char byte) { return _mm_set1_epi8(char(byte)); };
    auto load = [&](std::size_t from) {
        return _mm_loadu_si128(reinterpret_cast<const Block*>(text + from));
    };
    auto either = [](Block v, Block one, Block other) {
        return _mm_or_si128(_mm_cmpeq_epi8(v, one), _mm_cmpeq_epi8(v, other));
    };
    auto mask = [](Block v) { return unsigned(_mm_movemask_epi8(v)); };
    auto always = [](bool yes) { return yes ? _mm_setzero_si128() : _mm_set1_epi8(-1); };
    const Block lower = repeated(settings.lower), upper = repeated(settings.upper);
    const Block tag = repeated('<'), entity = repeated('&'), caseBit = repeated(0x20);
    const Block followers[2]
        = { repeated(scan.followers[0] | 0x20), repeated(scan.followers[1] | 0x20) };
    const Block unchecked[2]
        = { always(settings.checksFollower[0]), always(settings.checksFollower[1]) };
    auto notLetter = [&](Block lowered) {
        return _mm_or_si128(
            _mm_cmplt_epi8(lowered, repeated('a')), _mm_cmpgt_epi8(lowered, repeated('z')));
    };
    for (; at + 18 <= size; at += 16) {
        Block bytes = load(at), next = _mm_or_si128(load(at + 1), caseBit),
              after = _mm_or_si128(load(at + 2), caseBit);
        Block nextNotLetter = _mm_or_si128(notLetter(next), unchecked[0]);
        Block follows
            = _mm_and_si128(_mm_or_si128(nextNotLetter, _mm_cmpeq_epi8(next, followers[0])),
                _mm_or_si128(_mm_or_si128(nextNotLetter, unchecked[1]),
                    _mm_or_si128(notLetter(after), _mm_cmpeq_epi8(after, followers[1]))));
        Block leadBytes = _mm_and_si128(
            _mm_cmpgt_epi8(bytes, repeated(0xC1)), _mm_cmplt_epi8(bytes, repeated(0xE0)));
        for (std::size_t i = 0; i < settings.keptLeadCount; ++i)
            leadBytes
                = _mm_andnot_si128(_mm_cmpeq_epi8(bytes, repeated(scan.keptLeads[i])), leadBytes);
        unsigned whole = mask(leadBytes) & (mask(_mm_cmplt_epi8(bytes, repeated(0xC0))) >> 1)
            & settings.passesWhole;
        unsigned stops = mask(_mm_or_si128(_mm_and_si128(either(bytes, lower, upper), follows),
                             either(bytes, tag, entity)))
            | (mask(bytes) & ~(whole | whole << 1));
        if (stops != 0) {
            auto stop = unsigned(__builtin_ctz(stops));
            passed += bitCount(whole & ((1u << stop) - 1));
            return { at + stop, true };
        }
        passed += bitCount(whole);
    }
    return { at, false };
}
#endif

#ifdef PAGEWYN_WIDE_SCAN
// The wide scan's steps: functions, not lambdas, so that each carries the processor's extension.
#define PAGEWYN_WIDE __attribute__((target("avx2,popcnt")))
using WideBlock = __m256i;

PAGEWYN_WIDE WideBlock repeated(unsigned char byte)
{
    return _mm256_set1_epi8(char(byte));
}

PAGEWYN_WIDE WideBlock load(const char* bytes)
{
    return _mm256_loadu_si256(reinterpret_cast<const WideBlock*>(bytes));
}

PAGEWYN_WIDE unsigned mask(WideBlock v)
{
    return unsigned(_mm256_movemask_epi8(v));
}

PAGEWYN_WIDE WideBlock either(WideBlock v, WideBlock one, WideBlock other)
{
    return _mm256_or_si256(_mm256_cmpeq_epi8(v, one), _mm256_cmpeq_epi8(v, other));
}

PAGEWYN_WIDE WideBlock always(bool yes)
{
    return yes ? _mm256_setzero_si256() : _mm256_set1_epi8(-1);
}

PAGEWYN_WIDE WideBlock notLetter(WideBlock lowered)
{
    return _mm256_or_si256(
        _mm256_cmpgt_epi8(repeated('a'), lowered), _mm256_cmpgt_epi8(lowered, repeated('z')));
}

PAGEWYN_WIDE BlockScan wideBlocks(const TextScanner::Bytes& scan, const char* text,
    std::size_t size, std::size_t at, bool looking, std::uint32_t& passed)
{
    using Block = WideBlock;
    const ScanSettings settings(scan, looking);
    const Block lower = repeated(settings.lower), upper = repeated(settings.upper);
    const Block tag = repeated('<'), entity = repeated('&'), caseBit = repeated(0x20);
    const Block followers[2]
        = { repeated(scan.followers[0] | 0x20), repeated(scan.followers[1] | 0x20) };
    const Block unchecked[2]
        = { always(settings.checksFollower[0]), always(settings.checksFollower[1]) };
    for (; at + 34 <= size; at += 32) {
        Block bytes = load(text + at);
        Block next = _mm256_or_si256(load(text + at + 1), caseBit),
              after = _mm256_or_si256(load(text + at + 2), caseBit);
        Block nextNotLetter = _mm256_or_si256(notLetter(next), unchecked[0]);
        Block follows = _mm256_and_si256(
            _mm256_or_si256(nextNotLetter, _mm256_cmpeq_epi8(next, followers[0])),
            _mm256_or_si256(_mm256_or_si256(nextNotLetter, unchecked[1]),
                _mm256_or_si256(notLetter(after), _mm256_cmpeq_epi8(after, followers[1]))));
        Block leadBytes = _mm256_and_si256(
            _mm256_cmpgt_epi8(bytes, repeated(0xC1)), _mm256_cmpgt_epi8(repeated(0xE0), bytes));
        for (std::size_t i = 0; i < settings.keptLeadCount; ++i)
            leadBytes = _mm256_andnot_si256(
                _mm256_cmpeq_epi8(bytes, repeated(scan.keptLeads[i])), leadBytes);
        unsigned whole = mask(leadBytes) & (mask(_mm256_cmpgt_epi8(repeated(0xC0), bytes)) >> 1)
            & settings.passesWhole;
        unsigned stops
            = mask(_mm256_or_si256(_mm256_and_si256(either(bytes, lower, upper), follows),
                  either(bytes, tag, entity)))
            | (mask(bytes) & ~(whole | whole << 1));
        if (stops != 0) {
            auto stop = unsigned(__builtin_ctz(stops));
            passed += unsigned(__builtin_popcount(whole & ((1u << stop) - 1)));
            return { at + stop, true };
        }
        passed += unsigned(__builtin_popcount(whole));
    }
    return { at, false };
}
#undef PAGEWYN_WIDE
#endif

}

TextScanner::TextScanner(std::u32string_view query, ScanWidth widest)
{
#ifdef PAGEWYN_WIDE_SCAN
    static const bool hasWide = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    if (widest == ScanWidth::thirtyTwo && hasWide)
        m_width = ScanWidth::thirtyTwo;
#endif
#ifdef __SSE2__
    if (widest != ScanWidth::one && m_width == ScanWidth::one)
        m_width = ScanWidth::sixteen;
#endif
    char32_t first = query.front();
    if (first >= 0x80)
        return;
    m_bytes.lower = static_cast<unsigned char>(first);
    m_bytes.upper = upperAscii(m_bytes.lower);
    for (std::size_t i = 0; i < m_bytes.followers.size() && i + 1 < query.size(); ++i) {
        char32_t c = query[i + 1];
        // A space in the query stands for any run of white space, so nothing after it is checked.
        if (c == U' ' && i == 0)
            break;
        // Only a letter is told apart by what follows: 0 matches no letter.
        m_bytes.followers[i] = c >= U'a' && c <= U'z' ? static_cast<unsigned char>(c) : 0;
        m_bytes.followerCount = i + 1;
        if (c == U' ')
            break;
    }
    m_bytes.passesTwoByteCharacters = true;
    for (unsigned lead = 0xC2; lead <= 0xDF; ++lead) {
        if (twoByteLeadsHolding()[first] >> (lead - 0xC0) & 1)
            m_bytes.keptLeads[m_bytes.keptLeadCount++] = static_cast<unsigned char>(lead);
    }
}

std::size_t TextScanner::next(
    std::string_view text, std::size_t at, bool looking, std::uint32_t& passed) const
{
#ifdef PAGEWYN_WIDE_SCAN
    if (m_width == ScanWidth::thirtyTwo) {
        auto scan = wideBlocks(m_bytes, text.data(), text.size(), at, looking, passed);
        if (scan.stopped)
            return scan.at;
        at = scan.at;
    }
#endif
#ifdef __SSE2__
    if (m_width != ScanWidth::one) {
        auto scan = narrowBlocks(m_bytes, text.data(), text.size(), at, looking, passed);
        if (scan.stopped)
            return scan.at;
        at = scan.at;
    }
#endif
    const ScanSettings settings(m_bytes, looking);
    for (; at < text.size(); ++at) {
        auto b = static_cast<unsigned char>(text[at]);
        if (b >= 0x80 || b == settings.lower || b == settings.upper || b == '<' || b == '&')
            return at;
    }
    return text.size();
}

}
