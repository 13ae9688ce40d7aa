// The words the library's text index keeps and looks up: text folded as every search folds it,
// with Chinese, Japanese and Korean runs, written without spaces between words, made into
// overlapping pairs of characters that the word tokenizer then keeps as words of their own.
#pragma once

#include <string>
#include <string_view>

namespace folioreader {

// The tokenizer of the index's words: letters, digits, private characters and marks make words
// (marks, so that the vowel signs of Indic scripts do not split their words); the text comes
// folded already, so it changes nothing more.
inline constexpr const char* indexTokenizer
    = "unicode61 remove_diacritics 0 categories 'L* N* Co M*'";

// Whether the character is part of a word for the index's tokenizer.
bool isWordCharacter(char32_t c);
// Whether the character is of a script written without spaces between words (Han, kana, Hangul):
// such runs are indexed as pairs.
bool isPairedCharacter(char32_t c);

// How a run of paired characters that ends the text is written: in a passage its last
// character also stands alone, so that a query of that one character finds it at a run's end; a
// query's last run is only its pairs, which stand in the passage whatever follows the run.
enum class RunEnd { alone, pairsOnly };

// The text as the index keeps it: folded for search, every run of paired characters written as
// its overlapping pairs (and its last character alone, before text that follows and where
// runEnd asks), separated by spaces. A run of one character is that character. Bytes that are not
// UTF-8 become U+FFFD, which makes no word.
std::string indexedWords(std::string_view text, RunEnd runEnd = RunEnd::alone);

}
