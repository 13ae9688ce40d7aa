#include "frameworks/folioreader/textindex/PackedBook.h"

#include "frameworks/folioreader/textindex/IndexedWords.h"

namespace folioreader {

PackedBook packBook(BookPassages passages, PassagePacker& packer)
{
    PackedBook book { std::move(passages.title), std::move(passages.author),
        std::move(passages.chapters), {}, {}, false };
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
        for (; start < end; ++start)
            book.words.push_back(indexedWords(all[start].text));
    }
    return book;
}

}
