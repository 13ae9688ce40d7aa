// Canonical comparison with utf8proc. Text that is visibly in NFC already (no character in it
// decomposes or combines with its neighbour) is compared without normalising.
#include "platform/text/Text.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <utf8proc.h>

namespace text {

namespace {

// Every code point below U+0300 is its own NFC form and never combines with the character
// before it.
constexpr utf8proc_int32_t firstCombiningCodePoint = 0x300;
// utf8proc marks the characters that can be the second of a canonical composition this way.
constexpr utf8proc_uint16_t secondOfComposition = 0x8000;
// Hangul vowel and trailing jamo compose with the syllable before them by the Unicode
// standard's algorithm rather than by table, so utf8proc's composition index does not mark them.
// U+11A7 is included because utf8proc composes it too.
constexpr utf8proc_int32_t hangulVowelFirst = 0x1161, hangulVowelLast = 0x1175;
constexpr utf8proc_int32_t hangulTrailingFirst = 0x11A7, hangulTrailingLast = 0x11C2;

bool isSecondOfComposition(utf8proc_int32_t codePoint)
{
    if ((codePoint >= hangulVowelFirst && codePoint <= hangulVowelLast)
        || (codePoint >= hangulTrailingFirst && codePoint <= hangulTrailingLast))
        return true;
    auto index = utf8proc_get_property(codePoint)->comb_index;
    return index != UINT16_MAX && (index & secondOfComposition);
}

// True when the code point, wherever it stands, leaves text in NFC: it is a starter, combines
// with nothing before it, and if it decomposes, composing its decomposition gives it back and
// the decomposition's first character combines with nothing before it either. Conservative: a
// false answer only sends the text through full normalisation.
bool keepsTextComposedUncached(utf8proc_int32_t codePoint)
{
    const utf8proc_property_t* property = utf8proc_get_property(codePoint);
    if (property->combining_class != 0 || isSecondOfComposition(codePoint))
        return false;
    if (property->decomp_seqindex == UINT16_MAX || property->decomp_type != 0)
        return true; // no canonical decomposition
    utf8proc_int32_t buffer[8];
    int boundary = 0;
    auto length = utf8proc_decompose_char(codePoint, buffer, 8, UTF8PROC_DECOMPOSE, &boundary);
    if (length <= 0 || length > 8 || isSecondOfComposition(buffer[0]))
        return false;
    auto composed = utf8proc_normalize_utf32(
        buffer, length, static_cast<utf8proc_option_t>(UTF8PROC_COMPOSE | UTF8PROC_STABLE));
    return composed == 1 && buffer[0] == codePoint;
}

// The answers for the Basic Multilingual Plane, worked out on first use: 0 not yet known, 1 yes,
// 2 no. Threads that race on an entry store the same answer.
bool keepsTextComposed(utf8proc_int32_t codePoint)
{
    if (codePoint < firstCombiningCodePoint)
        return true;
    if (codePoint > 0xFFFF)
        return keepsTextComposedUncached(codePoint);
    static std::atomic<std::uint8_t> known[0x10000];
    auto answer = known[codePoint].load(std::memory_order_relaxed);
    if (answer == 0) {
        answer = keepsTextComposedUncached(codePoint) ? 1 : 2;
        known[codePoint].store(answer, std::memory_order_relaxed);
    }
    return answer == 1;
}

// The byte length of the grapheme cluster starting at `start`; an invalid byte counts as one.
std::size_t clusterLength(std::string_view text, std::size_t start)
{
    auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    utf8proc_int32_t previous = 0;
    utf8proc_int32_t state = 0;
    std::size_t at = start;
    bool first = true;
    while (at < text.size()) {
        utf8proc_int32_t codePoint = 0;
        auto length = utf8proc_iterate(
            bytes + at, static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
        if (length <= 0)
            return first ? 1 : at - start;
        if (!first && utf8proc_grapheme_break_stateful(previous, codePoint, &state))
            break;
        first = false;
        previous = codePoint;
        at += static_cast<std::size_t>(length);
    }
    return at - start;
}

}

bool isKnownNFC(std::string_view text)
{
    auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    std::size_t at = 0;
    while (at < text.size()) {
        if (bytes[at] < 0x80) {
            ++at;
            continue;
        }
        utf8proc_int32_t codePoint = 0;
        auto length = utf8proc_iterate(
            bytes + at, static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
        if (length <= 0 || !keepsTextComposed(codePoint))
            return false;
        at += static_cast<std::size_t>(length);
    }
    return true;
}

std::string nfc(std::string_view text)
{
    if (isKnownNFC(text))
        return std::string(text);
    utf8proc_uint8_t* composed = nullptr;
    auto length = utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
        static_cast<utf8proc_ssize_t>(text.size()), &composed,
        static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0)
        return std::string(text);
    std::string result(reinterpret_cast<char*>(composed), static_cast<std::size_t>(length));
    std::free(composed);
    return result;
}

std::strong_ordering compare(std::string_view a, std::string_view b)
{
    // UTF-8 byte order is scalar value order, and string_view compares bytes as unsigned.
    if (isKnownNFC(a) && isKnownNFC(b))
        return a.compare(b) <=> 0;
    return std::string_view(nfc(a)).compare(nfc(b)) <=> 0;
}

bool canonicallyEqual(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    return compare(a, b) == 0;
}

std::string_view firstCharacter(std::string_view text)
{
    if (text.empty())
        return text;
    return text.substr(0, clusterLength(text, 0));
}

bool hasPrefix(std::string_view text, std::string_view prefix)
{
    std::size_t clusters = 0;
    for (std::size_t at = 0; at < prefix.size(); at += clusterLength(prefix, at))
        ++clusters;
    std::size_t end = 0;
    for (std::size_t i = 0; i < clusters; ++i) {
        if (end >= text.size())
            return false;
        end += clusterLength(text, end);
    }
    return canonicallyEqual(text.substr(0, end), prefix);
}

}
