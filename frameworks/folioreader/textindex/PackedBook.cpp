#include "frameworks/folioreader/textindex/PackedBook.h"

#include "frameworks/folioreader/textindex/IndexedWords.h"

#include <algorithm>
#include <unordered_map>
#include <utf8proc.h>

namespace folioreader {

namespace {

// Counts the words of three characters or more in the index's words of a passage.
void countWords(std::string_view words, std::unordered_map<std::string_view, std::uint32_t>& counts)
{
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(words.data());
    std::size_t start = 0, characters = 0;
    auto endWord = [&](std::size_t end) {
        if (characters >= 3)
            ++counts[words.substr(start, end - start)];
        characters = 0;
    };
    for (std::size_t at = 0; at < words.size();) {
        // Most of a book's text is ASCII, taken a byte at a time.
        utf8proc_int32_t point = bytes[at];
        utf8proc_ssize_t length = 1;
        if (point >= 0x80) {
            length = utf8proc_iterate(bytes + at, utf8proc_ssize_t(words.size() - at), &point);
            if (length <= 0)
                length = 1, point = ' ';
        }
        if (isWordCharacter(char32_t(point))) {
            if (characters++ == 0)
                start = at;
        } else {
            endWord(at);
        }
        at += std::size_t(length);
    }
    endWord(words.size());
}

}

PackedBook packBook(BookPassages passages, PassagePacker& packer)
{
    PackedBook book { std::move(passages.title), std::move(passages.author),
        std::move(passages.chapters), {}, {}, {}, false };
    const auto& all = passages.passages;
    book.words.reserve(all.size());
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = start, text = 0;
        while (end < all.size() && text < passageBlockText)
            text += all[end++].text.size();
        std::string packed = packer.pack(all, start, end);
        if (packed.empty()) {
            book.failed = true;
            return book;
        }
        book.blocks.push_back({ start, end, std::move(packed) });
        for (; start < end; ++start) {
            // Room is kept for paired characters, which most passages do not hold.
            book.words.push_back(indexedWords(all[start].text));
            book.words.back().shrink_to_fit();
        }
    }
    std::unordered_map<std::string_view, std::uint32_t> counts;
    for (const std::string& words : book.words)
        countWords(words, counts);
    std::vector<std::pair<std::string_view, std::uint32_t>> common(counts.begin(), counts.end());
    const auto kept = std::min(common.size(), commonWordsABook);
    std::partial_sort(common.begin(), common.begin() + std::ptrdiff_t(kept), common.end(),
        [](const auto& a, const auto& b) { return a.second > b.second; });
    for (std::size_t index = 0; index < kept; ++index)
        book.commonWords.emplace_back(std::string(common[index].first), common[index].second);
    return book;
}

}
