// A page is skimmed, not read whole: its characters are only counted, and only where a match may
// start (TextScanner finds the places) is the text from there read and folded (BodyText) to see
// whether the query follows. Plain ASCII, the bulk of most books, is compared byte by byte where
// nothing but letters and spaces can stand between a match's characters. A match found is shown
// with its surrounding text, read again from a place remembered a little before it.
#include "frameworks/folioreader/search/PageSearch.h"

#include "frameworks/folioreader/search/BodyText.h"
#include "frameworks/folioreader/search/readBodyPiece.h"
#include "platform/text/SearchFold.h"

#include <algorithm>
#include <array>
#include <optional>

namespace folioreader {

namespace {

constexpr std::size_t contextCharacters = 40;

char32_t lowerAscii(char32_t c)
{
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// A byte that stands for itself, folded only by case: printable ASCII but the space, and but '<'
// and '&', which may start a tag or an entity.
bool isPlain(unsigned char b)
{
    return b > 0x20 && b < 0x7F && b != '<' && b != '&';
}

// The place of the character at index target of text (without tags or entities) read from place,
// or the text's end.
BodyPlace placeWithin(std::string_view text, BodyPlace place, std::uint32_t target)
{
    const std::size_t begin = place.at;
    std::size_t at = 0;
    while (place.character < target && at < text.size()) {
        auto plain = std::min<std::size_t>(
            textEnd(text, at, TextKind::plainAscii) - at, target - place.character);
        place.character += std::uint32_t(plain);
        at += plain;
        if (place.character == target || at == text.size())
            break;
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
            utf8proc_ssize_t(text.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        ++place.character;
        place.astral += point > 0xFFFF;
        at += std::size_t(length);
    }
    place.at = begin + at;
    return place;
}

// The skim of one page: the sink of a reading that keeps nothing but a few places to read again
// from.
class PageSearch {
public:
    static constexpr bool wantsBlocks = false;
    static constexpr bool wantsTextRuns = true;

    PageSearch(std::string_view xhtml, const std::u32string& query,
        const std::function<bool(const SearchMatch&)>& found, ScanWidth widest,
        const HiddenElements* hidden)
        : m_xhtml(xhtml)
        , m_query(query)
        , m_found(found)
        , m_first(query.front())
        , m_scanner(query, widest)
    {
        m_trial.hidden = hidden;
        m_context.hidden = hidden;
        remember(BodyPlace {}, 0);
    }

    bool stopped = false;

    // The text from place to the next tag or entity; the scanner finds where it ends. Its
    // characters are counted as bytes less those that are no character of their own (the
    // continuation bytes of UTF-8, and bytes that are no UTF-8); only the bytes the scanner stops
    // at (candidates, and characters beyond ASCII it does not pass over) are looked at one by one.
    TextRun text(std::string_view rest, const BodyPlace& place, bool matched)
    {
        // How far the text reaches is found when a match is described: it is not known yet.
        remember(place, std::string_view::npos);
        const bool looking = matched && !stopped;
        std::uint32_t skipped = 0;
        std::uint32_t astral = 0;
        auto placeOf = [&](std::size_t offset) {
            BodyPlace at = place;
            at.at += offset;
            at.character += std::uint32_t(offset) - skipped;
            at.astral += astral;
            return at;
        };
        // The text starts at a '&' only where that starts no entity: it is a character of the text.
        std::size_t end = rest.size();
        for (std::size_t at = 0; at < rest.size();) {
            auto next = m_scanner.next(rest, at, looking, skipped);
            if (next == rest.size())
                break;
            auto b = static_cast<unsigned char>(rest[next]);
            if (b == '<' || (b == '&' && next > 0)) {
                end = next;
                break;
            }
            if (b < 0x80) {
                if (looking && !stopped && lowerAscii(b) == m_first && mayStartAt(rest, next))
                    tryAscii(rest.substr(next), placeOf(next));
                at = next + 1;
                continue;
            }
            char32_t c = 0;
            std::size_t length = 2;
            if (b >= 0xC2 && b <= 0xDF && next + 1 < rest.size()
                && (static_cast<unsigned char>(rest[next + 1]) & 0xC0) == 0x80) {
                // Two bytes, the most common beyond ASCII (accented Latin, Greek, Cyrillic, Hebrew,
                // Arabic).
                c = char32_t(b & 0x1F) << 6
                    | char32_t(static_cast<unsigned char>(rest[next + 1]) & 0x3F);
            } else {
                utf8proc_int32_t point = 0;
                auto decoded = utf8proc_iterate(
                    reinterpret_cast<const utf8proc_uint8_t*>(rest.data() + next),
                    utf8proc_ssize_t(rest.size() - next), &point);
                if (decoded <= 0) {
                    ++skipped;
                    at = next + 1;
                    continue;
                }
                c = char32_t(point);
                length = std::size_t(decoded);
            }
            if (looking && !stopped && isCandidate(c))
                tryFolded(placeOf(next));
            skipped += std::uint32_t(length - 1);
            astral += c > 0xFFFF;
            at = next + length;
        }
        return { { std::uint32_t(end) - skipped, astral }, end };
    }

    // Whether the ASCII candidate at offset may start a match: most are told apart by the next
    // byte.
    bool mayStartAt(std::string_view run, std::size_t offset) const
    {
        if (m_query.size() < 2 || offset + 1 >= run.size())
            return true;
        auto next = static_cast<unsigned char>(run[offset + 1]);
        return !isPlain(next) || m_query[1] == U' ' || lowerAscii(next) == m_query[1];
    }

    void character(char32_t c, const BodyPlace& place, bool matched)
    {
        if (++m_sinceRemembered >= 32)
            remember(place, 0);
        if (!matched || stopped)
            return;
        if (c < 0x80) {
            if (lowerAscii(c) == m_first)
                tryFolded(place);
            return;
        }
        if (isCandidate(c))
            tryFolded(place);
    }

    void separate(std::uint32_t) { }

private:
    // A place to read again from, and how many bytes of text (without tags or entities) follow it,
    // npos where that is still to be found: the place of each character of that text is found by
    // counting.
    struct Remembered {
        BodyPlace place;
        std::size_t text = 0;
    };

    std::string_view m_xhtml;
    const std::u32string& m_query;
    const std::function<bool(const SearchMatch&)>& m_found;
    char32_t m_first;
    TextScanner m_scanner;
    // Places at least a character apart, the latest last: 64 of them reach back further than a
    // match's excerpt.
    std::array<Remembered, 64> m_remembered {};
    std::size_t m_rememberedCount = 0;
    std::size_t m_sinceRemembered = 0;
    struct Memo {
        char32_t character = 0;
        bool candidate = false;
    };
    std::array<Memo, 256> m_memos {};
    // The last folded character of the last match, by the character it came from and its place
    // among that character's folded ones: the next match starts after it.
    std::optional<std::pair<std::uint32_t, std::size_t>> m_matchedThrough;
    BodyText m_trial;
    BodyText m_context;

    // Each place remembered is a character past the one before, so the 64 reach back 63 at least.
    void remember(const BodyPlace& place, std::size_t text)
    {
        if (m_rememberedCount > 0 && latest().place.character == place.character)
            latest() = { place, text };
        else
            m_remembered[m_rememberedCount++ % m_remembered.size()] = { place, text };
        m_sinceRemembered = 0;
    }

    Remembered& latest() { return m_remembered[(m_rememberedCount - 1) % m_remembered.size()]; }

    // Whether a character beyond ASCII has the query's first among its folded ones.
    bool isCandidate(char32_t c)
    {
        auto& memo = m_memos[c % m_memos.size()];
        if (memo.character != c) {
            memo.character = c;
            auto folded = text::searchFoldCharacter(c);
            memo.candidate = !isSearchSpace(c)
                && std::find(folded.begin(), folded.end(), m_first) != folded.end();
        }
        return memo.candidate;
    }

    bool passed(std::uint32_t character, std::size_t k) const
    {
        return m_matchedThrough && std::pair(character, k) <= *m_matchedThrough;
    }

    // A candidate in a text, run being the page from it on: where the text holds the whole match
    // as ASCII letters and spaces, it is compared here, byte by byte; a byte that could fold
    // otherwise (a control character, an accent, a tag, an entity, the page's end) leaves it to
    // tryFolded.
    void tryAscii(std::string_view run, const BodyPlace& place)
    {
        if (passed(place.character, 0))
            return;
        // A byte beyond ASCII is no character of its own here (0xA0 would pass for a no-break
        // space).
        auto spaceAt = [&](std::size_t i) {
            auto b = static_cast<unsigned char>(run[i]);
            return b < 0x80 && isSearchSpace(b);
        };
        auto plainAt = [&](std::size_t i) {
            return spaceAt(i) || isPlain(static_cast<unsigned char>(run[i]));
        };
        std::size_t r = 0;
        for (char32_t q : m_query) {
            if (r >= run.size() || !plainAt(r))
                return tryFolded(place);
            if (q == U' ') {
                if (!spaceAt(r))
                    return;
                while (r < run.size() && spaceAt(r))
                    ++r;
            } else if (spaceAt(r)
                || lowerAscii(char32_t(static_cast<unsigned char>(run[r]))) != q) {
                return;
            } else {
                ++r;
            }
        }
        // Where the match ends depends on the next character, unless it is plain.
        if (r >= run.size() || !plainAt(r))
            return tryFolded(place);
        auto end = place.character + std::uint32_t(r);
        found(place.character, end, { end - 1, 0 });
    }

    // A candidate read and folded from its place: a match may start at each of its folded
    // characters that is the query's first.
    void tryFolded(const BodyPlace& place)
    {
        m_trial.restart(place);
        if (!m_trial.readPiece(m_xhtml))
            return;
        const auto& text = m_trial.folded.text;
        const auto& origin = m_trial.folded.origin;
        std::size_t k = 0;
        for (std::size_t at = 0; at < text.size() && origin[at] == 0 && !stopped; ++at) {
            if (text[at] == m_first && !passed(place.character, k))
                tryFoldedAt(place, at);
            k += isOwn(text[at]);
        }
    }

    // Whether a folded character is a character's own, not a space or a boundary set between
    // characters (which a character's folded ones may or may not be joined by).
    static bool isOwn(char32_t folded) { return folded != U' ' && folded != U'\0'; }

    void tryFoldedAt(const BodyPlace& place, std::size_t first)
    {
        const auto& text = m_trial.folded.text;
        const auto& origin = m_trial.folded.origin;
        const std::size_t end = first + m_query.size();
        auto agrees = [&] {
            auto stop = std::min(text.size(), end);
            return std::equal(text.begin() + std::ptrdiff_t(first),
                text.begin() + std::ptrdiff_t(stop), m_query.begin());
        };
        while (text.size() <= end && agrees() && m_trial.readPiece(m_xhtml)) { }
        if (text.size() < end || !agrees())
            return;
        auto last = end - 1;
        std::uint32_t to = origin[last] + 1;
        // A character folded to nothing (an accent of its own) after the last belongs to the match.
        if (end < text.size())
            to = std::max(to, std::min(origin[end], std::uint32_t(m_trial.characters.size())));
        std::size_t k = 0;
        for (std::size_t at = last; at > 0 && origin[at - 1] == origin[last]; --at)
            k += isOwn(text[at - 1]);
        found(place.character + origin[first], place.character + to,
            { place.character + origin[last], k });
    }

    void found(std::uint32_t from, std::uint32_t to, std::pair<std::uint32_t, std::size_t> through)
    {
        m_matchedThrough = through;
        if (!m_found(describe(from, to)))
            stopped = true;
    }

    // The match with the text around it, read again from the latest place remembered before it.
    SearchMatch describe(std::uint32_t from, std::uint32_t to)
    {
        std::uint32_t first = from - std::min<std::uint32_t>(from, contextCharacters);
        // The page's start when nothing remembered is early enough.
        BodyPlace start;
        std::size_t text = 0;
        std::size_t kept = std::min(m_rememberedCount, m_remembered.size());
        for (std::size_t i = 1; i <= kept; ++i) {
            const auto& remembered = m_remembered[(m_rememberedCount - i) % m_remembered.size()];
            if (remembered.place.character <= first) {
                start = remembered.place;
                text = remembered.text;
                break;
            }
        }
        // A text's first byte is a character of it even where it is a '&'.
        if (text == std::string_view::npos)
            text = textEnd(m_xhtml, std::min(m_xhtml.size(), start.at + 1)) - start.at;
        start = placeWithin(m_xhtml.substr(start.at, text), start, first);
        m_context.restart(start);
        m_context.readThrough(m_xhtml, to + contextCharacters - start.character);
        const auto& body = m_context;
        std::size_t localFrom = from - start.character;
        std::size_t localTo = to - start.character;
        SearchMatch match;
        match.start = start.utf16() + body.utf16At(localFrom);
        match.end = start.utf16() + body.utf16At(localTo);
        match.before = body.excerpt(first - start.character, localFrom);
        match.match = body.excerpt(localFrom, localTo);
        match.after
            = body.excerpt(localTo, std::min(body.characters.size(), localTo + contextCharacters));
        if (!match.before.empty() && body.partsAt(localFrom))
            match.before.push_back(' ');
        if (!match.after.empty() && body.partsAt(localTo))
            match.after.insert(match.after.begin(), ' ');
        return match;
    }
};

}

std::u32string foldForSearch(std::string_view text)
{
    FoldedText folder;
    std::size_t at = 0;
    while (at < text.size()) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
            utf8proc_ssize_t(text.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        folder.add(char32_t(point), 0);
        at += std::size_t(length);
    }
    std::u32string folded(folder.text.begin(), folder.text.end());
    while (!folded.empty() && folded.back() == U' ')
        folded.pop_back();
    return folded;
}

std::string_view withLineFeeds(std::string_view xhtml, std::string& storage)
{
    if (xhtml.find('\r') == std::string_view::npos)
        return xhtml;
    storage.clear();
    storage.reserve(xhtml.size());
    for (std::size_t at = 0; at < xhtml.size(); ++at) {
        if (xhtml[at] != '\r')
            storage.push_back(xhtml[at]);
        else if (at + 1 == xhtml.size() || xhtml[at + 1] != '\n')
            storage.push_back('\n');
    }
    return storage;
}

bool searchDocument(std::string_view xhtml, const std::u32string& foldedQuery,
    const std::function<bool(const SearchMatch&)>& found, ScanWidth widest,
    const HiddenElements* hidden)
{
    if (foldedQuery.empty())
        return true;
    std::string storage;
    xhtml = withLineFeeds(xhtml, storage);
    PageSearch search(xhtml, foldedQuery, found, widest, hidden);
    BodyPlace place;
    while (!search.stopped && readBodyPiece(xhtml, place, search, std::string_view::npos, hidden)) {
    }
    return !search.stopped;
}

}
