// `pagewyn search`: the passages of the library's books holding the words, from the text index,
// brought up to date first.
#pragma once

#include "frameworks/folioreader/textindex/updateTextIndex.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace folioreader {
class MetadataStore;
}

struct SearchOptions {
    std::optional<std::string> documents; // the library folder; the platform's default when absent
    bool json = false;
    std::vector<std::string> words;
    std::shared_ptr<folioreader::MetadataStore> metadataStore;
    std::shared_ptr<folioreader::TextIndex> textIndex; // nullptr: the index cannot be used
    // Books changed this shortly before may be being written still: the command waits this long
    // once for them to settle, and names those that do not as not searched. Tests set 0.
    std::chrono::nanoseconds unsettledWindow = folioreader::TextIndexUpdate {}.unsettledWindow;
};

// The most relevant books printed, and of each its best passages.
inline constexpr std::size_t searchCommandBooks = 50;
inline constexpr std::size_t searchCommandPassages = 10;

// Prints one line per passage (file, title, chapter, snippet) or a JSON array to standard
// output; the answer is the exit status: 0 with matches, 1 without (or when the library or its
// index cannot be read), 2 when no word is left to search for.
int runSearchCommand(const SearchOptions& options);
