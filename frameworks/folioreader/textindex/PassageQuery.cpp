// Splitting the typed text into phrases and words, and writing each as the index's tokens.
#include "frameworks/folioreader/textindex/PassageQuery.h"

#include "frameworks/folioreader/search/FoldedText.h"
#include "frameworks/folioreader/search/PageSearch.h"
#include "frameworks/folioreader/textindex/IndexedWords.h"
#include "platform/text/UTF8.h"

#include <optional>
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

// How many paired characters end the words: one alone is found inside a run only as a prefix of
// its pairs; two or more end in a whole pair, which begins no longer word.
std::size_t pairedCharactersAtEnd(std::u32string_view folded)
{
    while (!folded.empty() && !isWordCharacter(folded.back()))
        folded.remove_suffix(1);
    std::size_t paired = 0;
    while (paired < folded.size() && isPairedCharacter(folded[folded.size() - 1 - paired]))
        ++paired;
    return paired;
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

// The phrases all found, the near ones within nearWords of each other.
std::string expressionOf(std::vector<std::string> phrases, const std::vector<std::string>& near)
{
    if (near.size() > 1) {
        std::string group = "NEAR(";
        for (std::size_t index = 0; index < near.size(); ++index)
            group += (index ? " " : "") + near[index];
        phrases.push_back(group + ", " + std::to_string(nearWords) + ")");
    } else if (near.size() == 1) {
        phrases.push_back(near.front());
    }
    std::string expression;
    for (std::size_t index = 0; index < phrases.size(); ++index)
        expression += (index ? " AND " : "") + phrases[index];
    return expression;
}

// The bytes [from, to) of the last word of the index's words, when it is one of three characters
// or more, none of them paired; else nothing.
std::optional<std::pair<std::size_t, std::size_t>> completableWord(std::string_view words)
{
    const std::u32string characters = text::charactersOf(words);
    std::size_t end = characters.size();
    while (end > 0 && !isWordCharacter(characters[end - 1]))
        --end;
    std::size_t begin = end;
    while (begin > 0 && isWordCharacter(characters[begin - 1]))
        --begin;
    if (end - begin < 3)
        return std::nullopt;
    for (std::size_t index = begin; index < end; ++index) {
        if (isPairedCharacter(characters[index]))
            return std::nullopt;
    }
    const std::u32string_view all(characters);
    const std::size_t from = utf8Of(all.substr(0, begin)).size();
    return std::pair { from, from + utf8Of(all.substr(begin, end - begin)).size() };
}

}

std::string PassageQuery::expressionCompleting(const std::vector<std::string>& completions) const
{
    if (completions.empty() || (completingQuoted ? phrases : near).empty())
        return expression;
    // A word being typed among others is looked for anywhere in the passages holding the others
    // near each other: each completion near them would make the index go over the lists of those
    // words once more, and a common one's is long. Once a space follows it, it is near them again.
    if (!completingQuoted) {
        std::string anyOf;
        for (const std::string& completion : completions)
            anyOf += (anyOf.empty() ? "(" : " OR ") + quotedString(completingStem + completion);
        anyOf += ")";
        const std::vector<std::string> others(near.begin(), near.end() - 1);
        if (phrases.empty() && others.empty())
            return anyOf;
        return expressionOf(phrases, others) + " AND " + anyOf;
    }
    std::string anyOf;
    for (const std::string& completion : completions) {
        auto quoted = phrases;
        quoted.back() = quotedString(completingStem + completion);
        anyOf += (anyOf.empty() ? "(" : " OR (") + expressionOf(quoted, near) + ")";
    }
    return anyOf;
}

foundation::Result<PassageQuery> parsePassageQuery(std::string_view typed, QueryWords words)
{
    const std::u32string characters = typedCharacters(typed);
    const bool endsInSpace
        = !characters.empty() && (isSearchSpace(characters.back()) || isQuote(characters.back()));
    std::vector<Term> terms = termsOf(characters);

    PassageQuery query;
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
            const std::u32string_view lastWord = std::u32string_view(characters).substr(space);
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
        const std::string words = indexedWords(term.text, RunEnd::pairsOnly);
        std::string phrase = quotedString(words);
        // A word begun with a letter or two would stand for thousands of words: it waits for a
        // third, while the words before it are searched.
        if (typing && terms.size() > 1 && !term.quoted && isShortStart(folded))
            continue;
        const bool typedStart = typing && !isShortStart(folded);
        const std::size_t paired = pairedCharactersAtEnd(folded);
        if ((typedStart && paired < 2) || paired == 1)
            phrase += " *";
        if (const auto word = completableWord(words); typedStart && word) {
            query.completing = words.substr(word->first, word->second - word->first);
            query.completingStem = words.substr(0, word->first);
            query.completingQuoted = term.quoted;
        }
        addMarkedWords(folded, query.marked);
        (term.quoted ? query.phrases : query.near).push_back(std::move(phrase));
    }
    if (query.phrases.empty() && query.near.empty())
        return foundation::Error("nothing to search for");
    query.expression = expressionOf(query.phrases, query.near);
    return query;
}

}
