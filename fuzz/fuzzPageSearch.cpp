// Fuzz target: find in a page of a book. The input's first line is the query, the rest the page.
// The skim must find exactly what folding the whole page and searching it finds, placed and
// excerpted alike: the page is read whole here (BodyText) as the model.
#include "frameworks/folioreader/search/BodyText.h"
#include "frameworks/folioreader/search/PageSearch.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using folioreader::SearchMatch;

std::vector<SearchMatch> wholePageMatches(
    std::string_view page, const std::u32string& query, std::size_t most)
{
    constexpr std::size_t around = 40;
    std::string storage;
    page = folioreader::withLineFeeds(page, storage);
    folioreader::BodyText body;
    body.restart({});
    while (body.readPiece(page)) { }
    const auto& text = body.folded.text;
    const auto& origin = body.folded.origin;
    std::vector<SearchMatch> found;
    for (std::size_t at = 0; found.size() < most;) {
        auto position = std::u32string_view(text.data(), text.size()).find(query, at);
        if (position == std::u32string_view::npos)
            break;
        auto last = position + query.size();
        std::size_t from = origin[position];
        std::size_t to = origin[last - 1] + 1;
        while (to < body.characters.size() && last < text.size() && origin[last] > to)
            ++to;
        SearchMatch match;
        match.start = body.utf16At(from);
        match.end = body.utf16At(to);
        match.before = body.excerpt(from - std::min(from, around), from);
        match.match = body.excerpt(from, to);
        match.after = body.excerpt(to, std::min(body.characters.size(), to + around));
        if (!match.before.empty() && body.partsAt(from))
            match.before.push_back(' ');
        if (!match.after.empty() && body.partsAt(to))
            match.after.insert(match.after.begin(), ' ');
        found.push_back(match);
        at = last;
    }
    return found;
}

bool same(const SearchMatch& one, const SearchMatch& other)
{
    return one.start == other.start && one.end == other.end && one.before == other.before
        && one.match == other.match && one.after == other.after;
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto newline = input.find('\n');
    if (newline == std::string_view::npos)
        return 0;
    auto query = folioreader::foldForSearch(
        input.substr(0, std::min(newline, folioreader::longestSearchQuery)));
    if (query.empty())
        return 0;
    auto page = input.substr(newline + 1);
    // The search is also stopped after a few matches, as a listener that has enough stops it.
    const std::size_t most = size % 3 == 0 ? 1 + size % 4 : 1000;
    auto expected = wholePageMatches(page, query, most);
    // Every width of scan the machine has.
    for (auto widest : { folioreader::ScanWidth::one, folioreader::ScanWidth::sixteen,
             folioreader::ScanWidth::thirtyTwo }) {
        std::vector<SearchMatch> skimmed;
        bool complete = folioreader::searchDocument(
            page, query,
            [&](const SearchMatch& match) {
                skimmed.push_back(match);
                return skimmed.size() < most;
            },
            widest);
        if (skimmed.size() != expected.size() || complete != (expected.size() < most))
            std::abort();
        for (std::size_t i = 0; i < skimmed.size(); ++i) {
            if (!same(skimmed[i], expected[i]))
                std::abort();
        }
    }
    return 0;
}
