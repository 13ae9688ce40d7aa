// Marking a passage's words: the passage is folded character by character, each folded character
// knowing the character it came from, so a mark covers the passage's own letters.
#include "frameworks/folioreader/textindex/PassageSnippet.h"

#include "frameworks/folioreader/search/FoldedText.h"
#include "frameworks/folioreader/search/PageSearch.h"
#include "frameworks/folioreader/textindex/IndexedWords.h"
#include "platform/text/UTF8.h"

#include <algorithm>

namespace folioreader {

namespace {

// Where the passage's text goes on after the heading it begins with (folded alike, ending at a
// word's end), in characters; 0 when it does not begin with it.
std::size_t headingEnd(
    const FoldedText& folded, const std::u32string& characters, std::string_view heading)
{
    const std::u32string foldedHeading = foldForSearch(heading);
    if (foldedHeading.empty() || folded.text.size() <= foldedHeading.size()
        || !std::equal(foldedHeading.begin(), foldedHeading.end(), folded.text.begin())
        || isWordCharacter(folded.text[foldedHeading.size()]))
        return 0;
    std::size_t end = folded.origin[foldedHeading.size()];
    while (end < characters.size() && isSearchSpace(characters[end]))
        ++end;
    return end;
}

}

Snippet snippetOf(
    std::string_view text, const std::vector<std::u32string>& marked, std::string_view heading)
{
    const std::u32string characters = text::charactersOf(text);
    FoldedText folded;
    for (std::size_t index = 0; index < characters.size(); ++index)
        folded.add(characters[index], std::uint32_t(index));

    // The marks in characters of the passage, [first, end).
    std::vector<std::pair<std::size_t, std::size_t>> marks;
    const std::u32string_view foldedText(folded.text.data(), folded.text.size());
    for (const std::u32string& word : marked) {
        if (word.empty())
            continue;
        for (auto at = foldedText.find(word); at != std::u32string::npos;
             at = foldedText.find(word, at + 1)) {
            // A word of a script with spaces starts a word of the passage; one of paired
            // characters may start anywhere.
            if (at > 0 && isWordCharacter(foldedText[at - 1]) && !isPairedCharacter(word.front()))
                continue;
            std::size_t last = at + word.size() - 1;
            std::size_t end
                = last + 1 < folded.origin.size() ? folded.origin[last + 1] : characters.size();
            marks.emplace_back(
                folded.origin[at], std::max<std::size_t>(end, folded.origin[last] + 1));
        }
    }
    std::sort(marks.begin(), marks.end());
    std::vector<std::pair<std::size_t, std::size_t>> merged;
    for (const auto& mark : marks) {
        if (!merged.empty() && mark.first <= merged.back().second)
            merged.back().second = std::max(merged.back().second, mark.second);
        else
            merged.push_back(mark);
    }

    // The text after the heading, when a word is marked there or none is.
    std::size_t start = headingEnd(folded, characters, heading);
    auto firstMark = std::find_if(
        merged.begin(), merged.end(), [&](const auto& mark) { return mark.first >= start; });
    if (firstMark == merged.end() && !merged.empty()) {
        start = 0;
        firstMark = merged.begin();
    }
    std::size_t from = firstMark == merged.end() ? start : firstMark->first;
    from = from > start + snippetLead ? from - snippetLead : start;
    // A snippet starts at a word where one is near.
    for (std::size_t back = 0; from > start && back < 20 && !isSearchSpace(characters[from - 1]);
         ++back)
        --from;
    const std::size_t to = std::min(characters.size(), from + snippetLength);

    Snippet snippet;
    std::uint32_t utf16 = 0;
    auto add = [&](char32_t c) {
        text::appendUTF8(snippet.text, c);
        utf16 += c > 0xFFFF ? 2 : 1;
    };
    if (from > start)
        add(U'…');
    auto mark = merged.begin();
    std::uint32_t markStart = 0;
    for (std::size_t index = from; index < to; ++index) {
        while (mark != merged.end() && mark->second <= index)
            ++mark;
        if (mark != merged.end() && mark->first == index)
            markStart = utf16;
        add(characters[index]);
        if (mark != merged.end() && mark->first <= index
            && (index + 1 == mark->second || index + 1 == to))
            snippet.marks.emplace_back(
                mark->first < from ? std::uint32_t(from > 0) : markStart, utf16);
    }
    if (to < characters.size())
        add(U'…');
    return snippet;
}

}
