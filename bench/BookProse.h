// Made-up book text that reads, to an index and a compressor, like a novel's: words of an
// English-like vocabulary drawn with Zipf's law (the commonest a hundred times a page, most only
// once in a book), sentences with capitals and punctuation, dialogue, names, and one paragraph in
// fifty of Chinese, whose characters follow the same law.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

class BookProse {
public:
    BookProse();

    // Paragraphs as XHTML (<p>…</p> lines) of at least bytes of text, after a heading.
    std::string chapter(std::mt19937& random, int number, std::size_t bytes) const;

    // The word of the vocabulary at rank (0 the commonest), and the Chinese character.
    const std::string& word(std::size_t rank) const { return m_words[rank]; }
    const std::string& chinese(std::size_t rank) const { return m_chinese[rank]; }
    std::size_t vocabularySize() const { return m_words.size(); }

private:
    std::string sentence(std::mt19937& random) const;
    std::string chineseParagraph(std::mt19937& random) const;

    std::vector<std::string> m_words;
    std::vector<std::string> m_names;
    std::vector<std::string> m_chinese;
    mutable std::discrete_distribution<std::size_t> m_pickWord;
    mutable std::discrete_distribution<std::size_t> m_pickCharacter;
};
