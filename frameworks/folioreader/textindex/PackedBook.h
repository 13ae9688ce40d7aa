// A book's passages made ready to be written to the text index: deflated in blocks, and each
// passage's words as the index keeps them. Making them is most of the work of indexing a book
// that is not the index's own, so it is done off the thread that writes to the index.
#pragma once

#include "frameworks/folioreader/textindex/BookPassages.h"
#include "frameworks/folioreader/textindex/PassageBlocks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace folioreader {

struct PackedBook {
    struct Block {
        std::size_t first = 0; // its first passage, counted in the book
        std::size_t end = 0; // past its last passage
        std::string packed;
    };
    std::string title;
    std::string author;
    std::vector<std::string> chapters; // of each document of the spine, as in BookPassages
    std::vector<Block> blocks;
    std::vector<std::string> words; // of each passage, as the index keeps them
    // The book's commonest words of three characters or more, with how often it says them.
    std::vector<std::pair<std::string, std::uint32_t>> commonWords;
    bool failed = false; // a block could not be deflated
};

// How many of a book's commonest words are kept: enough to hold those a broad prefix stands for.
inline constexpr std::size_t commonWordsABook = 200;

// The book's passages in blocks of about passageBlockText of text, and their words.
PackedBook packBook(BookPassages passages, PassagePacker& packer);

}
