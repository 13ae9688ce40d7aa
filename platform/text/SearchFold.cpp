// Search folding with utf8proc, one code point at a time, with a short path for ASCII.
#include "platform/text/SearchFold.h"

#include <utf8proc.h>

namespace text {

namespace {

constexpr utf8proc_int32_t replacementCharacter = 0xFFFD;
constexpr utf8proc_int32_t dotlessI = 0x0131;
constexpr utf8proc_int32_t dotlessJ = 0x0237;
// Combining dakuten and handakuten: they make ガ of カ and パ of ハ, a different kana, not an
// accent.
constexpr utf8proc_int32_t kanaVoicedMark = 0x3099;
constexpr utf8proc_int32_t kanaSemiVoicedMark = 0x309A;

constexpr int foldOptions
    = UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD | UTF8PROC_IGNORE;

bool isDropped(utf8proc_int32_t codePoint)
{
    if (codePoint == kanaVoicedMark || codePoint == kanaSemiVoicedMark)
        return false;
    auto category = utf8proc_category(codePoint);
    return category == UTF8PROC_CATEGORY_MN || category == UTF8PROC_CATEGORY_ME
        || category == UTF8PROC_CATEGORY_CC;
}

void appendUtf8(std::string& folded, char32_t character)
{
    std::array<utf8proc_uint8_t, 4> bytes {};
    auto length = utf8proc_encode_char(utf8proc_int32_t(character), bytes.data());
    folded.append(reinterpret_cast<const char*>(bytes.data()), static_cast<std::size_t>(length));
}

}

FoldedCharacter searchFoldCharacter(char32_t character)
{
    FoldedCharacter folded;
    if (character < 0x80) {
        if (character >= 'A' && character <= 'Z')
            folded.characters[folded.size++] = character - 'A' + 'a';
        else if (character >= 0x20 && character != 0x7F)
            folded.characters[folded.size++] = character;
        return folded;
    }
    std::array<utf8proc_int32_t, std::tuple_size_v<decltype(folded.characters)>> parts {};
    int boundary = UTF8PROC_BOUNDCLASS_START;
    auto count = utf8proc_decompose_char(utf8proc_int32_t(character), parts.data(), parts.size(),
        static_cast<utf8proc_option_t>(foldOptions), &boundary);
    if (count < 0 || static_cast<std::size_t>(count) > parts.size()) {
        folded.characters[folded.size++] = replacementCharacter;
        return folded;
    }
    for (utf8proc_ssize_t i = 0; i < count; ++i) {
        auto part = parts[std::size_t(i)];
        if (part == dotlessI)
            part = 'i';
        else if (part == dotlessJ)
            part = 'j';
        if (!isDropped(part))
            folded.characters[folded.size++] = char32_t(part);
    }
    return folded;
}

std::string searchFold(std::string_view text)
{
    std::string folded;
    folded.reserve(text.size());
    const auto* data = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    std::size_t at = 0;
    while (at < text.size()) {
        unsigned char byte = data[at];
        if (byte < 0x80) {
            if (byte >= 'A' && byte <= 'Z')
                folded.push_back(static_cast<char>(byte - 'A' + 'a'));
            else if (byte >= 0x20 && byte != 0x7F)
                folded.push_back(static_cast<char>(byte));
            ++at;
            continue;
        }
        utf8proc_int32_t codePoint = 0;
        auto length = utf8proc_iterate(
            data + at, static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
        if (length <= 0) {
            appendUtf8(folded, replacementCharacter);
            ++at;
            continue;
        }
        at += static_cast<std::size_t>(length);
        for (char32_t part : searchFoldCharacter(char32_t(codePoint)))
            appendUtf8(folded, part);
    }
    return folded;
}

}
