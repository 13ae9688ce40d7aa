// What a person typed to find passages, made into the index's query: quoted words a phrase, the
// other words all of them near each other, and nothing of the index's own query language: every
// word goes to it as a quoted string, so "*", "^", ":", "NEAR" or a stray quote are only text.
#pragma once

#include "platform/foundation/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace folioreader {

// The longest query looked at, in characters; the rest is not searched.
inline constexpr std::size_t longestPassageQuery = 200;
// How many words apart, at most, the unquoted words of a query stand in a passage.
inline constexpr int nearWords = 40;

// Whether the words are complete (the command line) or being typed (the search field), where the
// last word unless followed by a space may be the start of a longer one.
enum class QueryWords { complete, beingTyped };

struct PassageQuery {
    std::string expression; // the index's query
    // The folded words, each of them to be marked where it stands in a passage.
    std::vector<std::u32string> marked;
    // The word being typed at the end, of three characters or more, searched as the start of
    // words; empty when there is none. A broad one (the start of "the", "them", "there"...)
    // would make the index gather the lists of every word it starts: it is searched as its
    // commonest completions instead.
    std::string completing;
    // The expression with the word being typed as any one of these whole words: within its
    // phrase when quoted, else anywhere in a passage that holds the other words near each other.
    std::string expressionCompleting(const std::vector<std::string>& completions) const;

    // The query's terms as the index's phrases: the quoted ones, and those to stand near each
    // other; the word being typed is the last of one of them.
    std::vector<std::string> phrases;
    std::vector<std::string> near;
    bool completingQuoted = false;
    std::string completingStem; // the words of its term before it
};

// The query for the typed text. Control characters are spaces, an unclosed quote runs to the end.
// The error "nothing to search for" when no word is left.
foundation::Result<PassageQuery> parsePassageQuery(std::string_view typed, QueryWords words);

}
