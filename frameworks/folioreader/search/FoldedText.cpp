// Folding a page's text for finding: plain ASCII in bulk, other characters by the library's search
// folding, remembered for the characters a page repeats.
#include "frameworks/folioreader/search/FoldedText.h"

#include "platform/text/SearchFold.h"

#include <algorithm>
#include <utf8proc.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace folioreader {

namespace {

// Printable ASCII folded: letters lower case, the white space of XHTML a space, control characters
// nothing (0).
constexpr auto asciiFolds = [] {
    std::array<char32_t, 128> folds {};
    for (char32_t c = 0x20; c < 0x7F; ++c)
        folds[c] = c >= 'A' && c <= 'Z' ? c + 32 : c;
    for (char c : { '\t', '\n', '\r', '\f' })
        folds[std::size_t(c)] = U' ';
    return folds;
}();

}

bool isSearchSpace(char32_t c)
{
    if (c < 0x80)
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    auto category = utf8proc_category(utf8proc_int32_t(c));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL
        || category == UTF8PROC_CATEGORY_ZP;
}

void FoldedText::add(char32_t c, std::uint32_t from)
{
    if (c < 0x80) {
        auto folded = asciiFolds[c];
        if (folded == U' ')
            addSpace(from);
        else if (folded != 0)
            push(folded, from);
        return;
    }
    // A page repeats its few accented letters: those that fold to one character or none are
    // remembered, by their low bits, and not asked of utf8proc again.
    auto& memo = memos[c % memos.size()];
    if (memo.character != c) {
        if (isSearchSpace(c)) {
            memo = { c, U' ', whiteSpace };
        } else {
            // A spacing accent (¨) folds to a space: it joins the spaces around it, as white space.
            auto folded = text::searchFoldCharacter(c);
            if (folded.size > 1) {
                for (char32_t part : folded) {
                    if (part == U' ')
                        addSpace(from);
                    else
                        push(part, from);
                }
                return;
            }
            memo = { c, folded.characters[0],
                folded.size == 1 && folded.characters[0] == U' ' ? whiteSpace
                                                                 : std::uint8_t(folded.size) };
        }
    }
    if (memo.size == whiteSpace)
        addSpace(from);
    else if (memo.size == 1)
        push(memo.folded, from);
}

void FoldedText::addAscii(std::string_view run, std::uint32_t first)
{
    // Folded a piece at a time on the stack, then appended whole: the loop keeps everything in
    // registers instead of growing two vectors a character at a time.
    constexpr std::size_t piece = 256;
    std::array<char32_t, piece> folded;
    std::array<std::uint32_t, piece> from;
    // No space opens the text, and none follows another.
    char32_t last = text.empty() ? U' ' : text.back();
    for (std::size_t at = 0; at < run.size(); at += piece) {
        std::size_t count = 0;
        auto end = std::min(run.size(), at + piece);
        // Without a branch per character: a space or a dropped control character is written
        // and then not counted. A space follows a space when the byte before was one; only a
        // control character between them (never in a well-formed page) needs the slower loop.
        char32_t before = last;
        bool dropped = false;
        auto fold = [&](std::size_t i) {
            char32_t c = asciiFolds[static_cast<unsigned char>(run[i])];
            bool kept = c != 0 && !(c == U' ' && before == U' ');
            dropped |= c == 0;
            folded[count] = c;
            from[count] = first + std::uint32_t(i);
            count += kept;
            before = c;
        };
        std::size_t i = at;
#ifdef __SSE2__
        // Sixteen characters at once where none of them is dropped, the common case in prose.
        for (; i + 16 <= end; i += 16) {
            auto bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run.data() + i));
            auto space = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\t')),
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')),
                            _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\f'))))));
            auto control
                = _mm_or_si128(_mm_andnot_si128(space, _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20))),
                    _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)));
            auto spaceBefore = _mm_or_si128(
                _mm_slli_si128(space, 1), _mm_cvtsi32_si128(before == U' ' ? 0xFF : 0));
            if (_mm_movemask_epi8(_mm_or_si128(control, _mm_and_si128(space, spaceBefore))) != 0) {
                for (std::size_t j = i; j < i + 16; ++j)
                    fold(j);
                continue;
            }
            auto upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
            auto lowered = _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
            auto characters = _mm_or_si128(
                _mm_andnot_si128(space, lowered), _mm_and_si128(space, _mm_set1_epi8(' ')));
            auto zero = _mm_setzero_si128();
            auto low = _mm_unpacklo_epi8(characters, zero);
            auto high = _mm_unpackhi_epi8(characters, zero);
            auto* into = reinterpret_cast<__m128i*>(folded.data() + count);
            _mm_storeu_si128(into, _mm_unpacklo_epi16(low, zero));
            _mm_storeu_si128(into + 1, _mm_unpackhi_epi16(low, zero));
            _mm_storeu_si128(into + 2, _mm_unpacklo_epi16(high, zero));
            _mm_storeu_si128(into + 3, _mm_unpackhi_epi16(high, zero));
            auto origins = _mm_add_epi32(
                _mm_set1_epi32(int(first + std::uint32_t(i))), _mm_setr_epi32(0, 1, 2, 3));
            auto* fromInto = reinterpret_cast<__m128i*>(from.data() + count);
            for (int quarter = 0; quarter < 4; ++quarter)
                _mm_storeu_si128(
                    fromInto + quarter, _mm_add_epi32(origins, _mm_set1_epi32(4 * quarter)));
            count += 16;
            before = char32_t(_mm_extract_epi16(characters, 7) >> 8);
        }
#endif
        for (; i < end; ++i)
            fold(i);
        if (dropped) {
            count = 0;
            for (std::size_t i = at; i < end; ++i) {
                char32_t c = asciiFolds[static_cast<unsigned char>(run[i])];
                bool kept = c != 0 && !(c == U' ' && last == U' ');
                folded[count] = c;
                from[count] = first + std::uint32_t(i);
                count += kept;
                last = kept ? c : last;
            }
        } else if (count > 0) {
            last = folded[count - 1];
        }
        text.insert(text.end(), folded.begin(), folded.begin() + std::ptrdiff_t(count));
        origin.insert(origin.end(), from.begin(), from.begin() + std::ptrdiff_t(count));
    }
}

}
