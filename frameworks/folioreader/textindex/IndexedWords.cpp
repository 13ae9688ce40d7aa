// Folding for the index, and the pairs that let the word tokenizer find words in scripts that
// leave no space between them: a phrase of n such characters is found as its n-1 pairs in a row.
#include "frameworks/folioreader/textindex/IndexedWords.h"

#include "platform/text/SearchFold.h"
#include "platform/text/UTF8.h"

#include <utf8proc.h>

namespace folioreader {

bool isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    switch (utf8proc_category(utf8proc_int32_t(c))) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
    case UTF8PROC_CATEGORY_CO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
        return true;
    default:
        return false;
    }
}

bool isPairedCharacter(char32_t c)
{
    return (c >= 0x1100 && c <= 0x11FF) // Hangul jamo
        || (c >= 0x3040 && c <= 0x30FF) // hiragana, katakana
        || (c >= 0x3130 && c <= 0x318F) // Hangul compatibility jamo
        || (c >= 0x31F0 && c <= 0x31FF) // katakana extensions
        || (c >= 0x3400 && c <= 0x4DBF) // CJK extension A
        || (c >= 0x4E00 && c <= 0x9FFF) // CJK unified ideographs
        || (c >= 0xAC00 && c <= 0xD7AF) // Hangul syllables
        || (c >= 0xF900 && c <= 0xFAFF) // CJK compatibility ideographs
        || (c >= 0x20000 && c <= 0x3FFFF); // CJK extensions B and after
}

std::string indexedWords(std::string_view text, RunEnd runEnd)
{
    std::string folded = text::searchFold(text);
    std::string words;
    words.reserve(folded.size() + folded.size() / 4);
    // The run of paired characters not yet written.
    char32_t previous = 0;
    std::size_t runLength = 0;
    auto endRun = [&](bool textFollows) {
        if (runLength == 0)
            return;
        if (runLength == 1 || textFollows || runEnd == RunEnd::alone) {
            words.push_back(' ');
            text::appendUTF8(words, previous);
        }
        words.push_back(' ');
        runLength = 0;
    };
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(folded.data());
    for (std::size_t at = 0; at < folded.size();) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(bytes + at, utf8proc_ssize_t(folded.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        at += std::size_t(length);
        const auto c = char32_t(point);
        if (!isPairedCharacter(c)) {
            endRun(true);
            words.append(folded, start, std::size_t(length));
            continue;
        }
        if (runLength != 1)
            words.push_back(' ');
        if (runLength > 0) {
            text::appendUTF8(words, previous);
            text::appendUTF8(words, c);
        }
        previous = c;
        ++runLength;
    }
    endRun(false);
    return words;
}

}
