#include "frameworks/folioreader/textindex/PackedBook.h"

#include "frameworks/folioreader/textindex/IndexedWords.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <utf8proc.h>

namespace folioreader {

namespace {

// How often a book says each word, in one table of views into the book's words, which outlive
// it. A hash map's node for each of a large book's 11,000 different words took 616 KB, held beside
// the book's words and blocks; this table takes 256 KB and allocates nothing for each word.
class WordCounts {
public:
    void add(std::string_view word)
    {
        if ((m_used + 1) * 4 > m_slots.size() * 3)
            grow();
        Slot& slot = find(word);
        if (!slot.data) {
            slot = { word.data(), std::uint32_t(word.size()), 0 };
            ++m_used;
        }
        ++slot.count;
    }

    // The commonest words, at most most of them, commonest first (of two as common, the first
    // in byte order).
    std::vector<std::pair<std::string, std::uint32_t>> commonest(std::size_t most) const
    {
        auto before = [](const Slot* a, const Slot* b) {
            return a->count != b->count ? a->count > b->count : a->word() < b->word();
        };
        // A heap of the best so far, the least of them on top.
        std::vector<const Slot*> best;
        for (const Slot& slot : m_slots) {
            if (!slot.data || most == 0)
                continue;
            if (best.size() < most) {
                best.push_back(&slot);
                std::push_heap(best.begin(), best.end(), before);
            } else if (before(&slot, best.front())) {
                std::pop_heap(best.begin(), best.end(), before);
                best.back() = &slot;
                std::push_heap(best.begin(), best.end(), before);
            }
        }
        std::sort_heap(best.begin(), best.end(), before);
        std::vector<std::pair<std::string, std::uint32_t>> words;
        words.reserve(best.size());
        for (const Slot* slot : best)
            words.emplace_back(slot->word(), slot->count);
        return words;
    }

private:
    struct Slot {
        const char* data = nullptr; // none: the slot is free
        std::uint32_t size = 0;
        std::uint32_t count = 0;
        std::string_view word() const { return { data, size }; }
    };

    // The word's slot, or the free one it would take.
    Slot& find(std::string_view word)
    {
        const std::size_t mask = m_slots.size() - 1;
        const std::size_t hash = std::hash<std::string_view> {}(word);
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = m_slots[at];
            if (!slot.data || slot.word() == word)
                return slot;
        }
    }

    void grow()
    {
        std::vector<Slot> old(std::max<std::size_t>(1024, m_slots.size() * 2));
        old.swap(m_slots);
        for (const Slot& slot : old)
            if (slot.data)
                find(slot.word()) = slot;
    }

    std::vector<Slot> m_slots; // a power of two of them, at most three quarters used
    std::size_t m_used = 0;
};

// Counts the words of three characters or more in the index's words of a passage.
void countWords(std::string_view words, WordCounts& counts)
{
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(words.data());
    std::size_t start = 0, characters = 0;
    auto endWord = [&](std::size_t end) {
        if (characters >= 3)
            counts.add(words.substr(start, end - start));
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
    auto& all = passages.passages;
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
            // Packed and made words: the text is not needed again, and a large book's would
            // otherwise be held beside both.
            std::string().swap(all[start].text);
        }
    }
    WordCounts counts;
    for (const std::string& words : book.words)
        countWords(words, counts);
    book.commonWords = counts.commonest(commonWordsABook);
    return book;
}

}
