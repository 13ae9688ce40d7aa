// Splitting the typed text into phrases and words, and writing each as the index's tokens.
#include "frameworks/folioreader/textindex/PassageQuery.h"

#include "frameworks/folioreader/search/FoldedText.h"
#include "frameworks/folioreader/search/PageSearch.h"
#include "frameworks/folioreader/textindex/IndexedWords.h"
#include "platform/text/UTF8.h"

#include <utf8proc.h>

namespace folioreader {

namespace {

struct Term {
    std::string text;
    bool quoted = false;
};

// The typed text as characters: at most longestPassageQuery of them, control characters made
// spaces, bytes that are not UTF-8 left out.
std::u32string typedCharacters(std::string_view typed)
{
    std::u32string characters;
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(typed.data());
    for (std::size_t at = 0; at < typed.size() && characters.size() < longestPassageQuery;) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(bytes + at, utf8proc_ssize_t(typed.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        at += std::size_t(length);
        bool control = point < 0x20 || (point >= 0x7F && point < 0xA0);
        characters.push_back(control ? U' ' : char32_t(point));
    }
    return characters;
}

std::string utf8Of(std::u32string_view characters)
{
    std::string text;
    for (char32_t c : characters)
        text::appendUTF8(text, c);
    return text;
}

bool isQuote(char32_t c)
{
    return c == U'"' || c == U'\u201C' || c == U'\u201D' || c == U'\u201E' || c == U'\uFF02';
}

std::vector<Term> termsOf(const std::u32string& characters)
{
    std::vector<Term> terms;
    std::u32string current;
    bool quoted = false;
    auto finish = [&] {
        if (current.empty())
            return;
        terms.push_back({ utf8Of(current), quoted });
        current.clear();
    };
    for (char32_t c : characters) {
        if (isQuote(c)) {
            finish();
            quoted = !quoted;
        } else if (!quoted && isSearchSpace(c)) {
            finish();
        } else {
            current.push_back(c);
        }
    }
    finish();
    return terms;
}

// The term's words as the index keeps them, in a string of the query language.
std::string quotedString(const std::string& words)
{
    std::string quoted = "\"";
    for (char c : words) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

// The folded words of text, to be marked: runs of word characters.
void addMarkedWords(std::u32string_view folded, std::vector<std::u32string>& marked)
{
    std::u32string word;
    for (char32_t c : folded) {
        if (isWordCharacter(c)) {
            word.push_back(c);
        } else if (!word.empty()) {
            marked.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty())
        marked.push_back(std::move(word));
}

bool hasWord(std::u32string_view folded)
{
    for (char32_t c : folded) {
        if (isWordCharacter(c))
            return true;
    }
    return false;
}

// Whether the index's words end in a lone paired character: only a prefix finds it inside a run.
bool endsInLonePairedCharacter(std::u32string_view folded)
{
    while (!folded.empty() && !isWordCharacter(folded.back()))
        folded.remove_suffix(1);
    return folded.size() >= 1 && isPairedCharacter(folded.back())
        && (folded.size() == 1 || !isPairedCharacter(folded[folded.size() - 2]));
}

// Whether a word being typed is too short to stand for the words it starts: fewer than three
// characters, none of them paired (a paired character is a word's start of its own).
bool isShortStart(std::u32string_view folded)
{
    std::size_t letters = 0;
    for (char32_t c : folded) {
        if (isPairedCharacter(c))
            return false;
        letters += isWordCharacter(c);
    }
    return letters < 3;
}

}

foundation::Result<PassageQuery> parsePassageQuery(std::string_view typed, QueryWords words)
{
    const std::u32string characters = typedCharacters(typed);
    const bool endsInSpace
        = !characters.empty() && (isSearchSpace(characters.back()) || isQuote(characters.back()));
    std::vector<Term> terms = termsOf(characters);

    PassageQuery query;
    std::vector<std::string> phrases;
    std::vector<std::string> near;
    for (std::size_t index = 0; index < terms.size(); ++index) {
        Term& term = terms[index];
        const bool last = index + 1 == terms.size();
        bool typing = words == QueryWords::beingTyped && last && !endsInSpace;
        // A phrase being typed whose last word is begun with a letter or two is searched without
        // it: as a prefix, those letters would stand for thousands of words.
        if (typing && term.quoted) {
            const std::u32string characters = text::charactersOf(term.text);
            std::size_t space = characters.size();
            while (space > 0 && !isSearchSpace(characters[space - 1]))
                --space;
            const std::u32string_view lastWord
                = std::u32string_view(characters).substr(space);
            if (space > 0 && isShortStart(foldForSearch(utf8Of(lastWord)))) {
                while (space > 0 && isSearchSpace(characters[space - 1]))
                    --space;
                term.text = utf8Of(std::u32string_view(characters).substr(0, space));
                typing = false;
            }
        }
        std::u32string folded = foldForSearch(term.text);
        if (!hasWord(folded))
            continue;
        std::string phrase = quotedString(indexedWords(term.text, RunEnd::pairsOnly));
        // A word begun with a letter or two would stand for thousands of words: it waits for a
        // third, while the words before it are searched.
        if (typing && terms.size() > 1 && !term.quoted && isShortStart(folded))
            continue;
        if ((typing && !isShortStart(folded)) || endsInLonePairedCharacter(folded))
            phrase += " *";
        addMarkedWords(folded, query.marked);
        (term.quoted ? phrases : near).push_back(std::move(phrase));
    }
    if (phrases.empty() && near.empty())
        return foundation::Error("nothing to search for");
    if (near.size() > 1) {
        std::string group = "NEAR(";
        for (std::size_t index = 0; index < near.size(); ++index)
            group += (index ? " " : "") + near[index];
        phrases.push_back(group + ", " + std::to_string(nearWords) + ")");
    } else if (near.size() == 1) {
        phrases.push_back(std::move(near.front()));
    }
    for (std::size_t index = 0; index < phrases.size(); ++index)
        query.expression += (index ? " AND " : "") + phrases[index];
    return query;
}

}
