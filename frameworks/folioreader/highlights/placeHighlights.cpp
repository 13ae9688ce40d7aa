// The characters of a document are counted as find in the book counts them (readBodyPiece), which
// is how the reader's page counts them when a highlight is made.
#include "frameworks/folioreader/highlights/placeHighlights.h"

#include "frameworks/folioreader/search/BodyText.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <unordered_map>

namespace folioreader {

namespace {

// Counts a page's body characters and keeps none, to learn where an element starts in the text.
struct CharacterCount {
    static constexpr bool wantsBlocks = false;
    static constexpr bool wantsTextRuns = false;
    void ascii(std::string_view, const BodyPlace&, bool) { }
    void character(char32_t, const BodyPlace&, bool) { }
    void separate(std::uint32_t) { }
};

// The byte at which the tag of the element with that id starts, or npos.
std::size_t elementWithId(std::string_view xhtml, std::string_view id)
{
    for (char quote : { '"', '\'' }) {
        std::string attribute = std::string("id=") + quote + std::string(id) + quote;
        auto at = xhtml.find(attribute);
        for (; at != std::string_view::npos; at = xhtml.find(attribute, at + 1)) {
            if (at > 0 && std::isspace(static_cast<unsigned char>(xhtml[at - 1])))
                return xhtml.rfind('<', at);
        }
    }
    return std::string_view::npos;
}

// Where each element named by id starts in the body's text, in UTF-16 code units as the page
// counts; 0 for an id the document does not have.
std::vector<std::uint64_t> elementOffsets(
    std::string_view xhtml, const std::vector<std::string>& ids)
{
    std::vector<std::uint64_t> offsets(ids.size(), 0);
    std::vector<std::pair<std::size_t, std::size_t>> starts; // byte, index in ids
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (auto byte = elementWithId(xhtml, ids[i]); byte != std::string_view::npos)
            starts.emplace_back(byte, i);
    }
    std::sort(starts.begin(), starts.end());
    BodyPlace place;
    CharacterCount count;
    std::size_t next = 0;
    for (bool more = true; next < starts.size();) {
        for (; next < starts.size() && (starts[next].first <= place.at || !more); ++next)
            offsets[starts[next].second] = place.utf16();
        more = more && readBodyPiece(xhtml, place, count);
    }
    return offsets;
}

std::u32string withoutSpaces(std::u32string_view text)
{
    std::u32string kept;
    for (char32_t c : text) {
        if (!isSearchSpace(c))
            kept.push_back(c);
    }
    return kept;
}

std::u32string decoded(std::string_view utf8)
{
    std::u32string characters;
    for (std::size_t at = 0; at < utf8.size();) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(utf8.data() + at),
            utf8proc_ssize_t(utf8.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        characters.push_back(char32_t(point));
        at += std::size_t(length);
    }
    return characters;
}

// The index of the character that starts at that UTF-16 offset of the stretch; nothing for an
// offset inside a character or past the stretch's end.
std::optional<std::size_t> characterAt(const BodyText& text, std::uint64_t utf16)
{
    std::size_t low = 0, high = text.characters.size();
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        if (text.utf16At(middle) < utf16)
            low = middle + 1;
        else
            high = middle;
    }
    if (text.utf16At(low) != utf16)
        return std::nullopt;
    return low;
}

// Whether the text at the highlight's characters is its kept text. White space is left out of
// the comparison: the page keeps what the browser selected, which parts blocks with line breaks
// where the document may have none. The text of scripts, styles and readings counts either way.
bool matchesText(const BodyText& text, const Highlight& highlight)
{
    auto first = characterAt(text, highlight.start);
    auto end = characterAt(text, highlight.end);
    if (!first || !end || *end <= *first)
        return false;
    auto kept = withoutSpaces(decoded(highlight.text));
    if (kept.empty())
        return false;
    // A text longer than the store keeps was cut: its start is compared.
    bool cut = highlight.text.size() + 4 > HighlightStore::maximumTextBytes;
    auto same = [&](const std::u32string& found) {
        return cut ? found.compare(0, kept.size(), kept) == 0 : found == kept;
    };
    std::u32string_view raw(text.characters.data() + *first, *end - *first);
    return same(withoutSpaces(raw)) || same(withoutSpaces(decoded(text.excerpt(*first, *end))));
}

// The title of the last entry of the contents that starts on or before the character.
std::string chapterOf(const std::vector<TocEntry>& contents,
    const std::vector<std::optional<std::size_t>>& entrySpine,
    const std::vector<std::uint64_t>& entryOffset, std::size_t spine, std::uint64_t offset)
{
    const std::string* chapter = nullptr;
    std::pair<std::size_t, std::uint64_t> best { 0, 0 };
    for (std::size_t i = 0; i < contents.size(); ++i) {
        if (!entrySpine[i])
            continue;
        std::pair<std::size_t, std::uint64_t> start { *entrySpine[i], entryOffset[i] };
        if (start <= std::pair(spine, offset) && (!chapter || start >= best)) {
            chapter = &contents[i].title;
            best = start;
        }
    }
    return chapter ? *chapter : std::string();
}

}

std::vector<PlacedHighlight> placeHighlights(std::vector<Highlight> highlights,
    const std::vector<std::string>& spine, const std::vector<TocEntry>& contents,
    const DocumentReader& readDocument)
{
    std::unordered_map<std::string, std::size_t> spineIndex;
    for (std::size_t i = 0; i < spine.size(); ++i)
        spineIndex.emplace(spine[i], i);
    auto indexOf = [&](const std::string& entryName) -> std::optional<std::size_t> {
        auto found = spineIndex.find(entryName);
        return found == spineIndex.end() ? std::nullopt : std::optional(found->second);
    };

    std::vector<PlacedHighlight> placed;
    std::map<std::size_t, std::vector<std::size_t>> byDocument;
    for (auto& highlight : highlights) {
        auto index = indexOf(highlight.document);
        if (index)
            byDocument[*index].push_back(placed.size());
        placed.push_back({ std::move(highlight), index, {}, false });
    }

    std::vector<std::optional<std::size_t>> entrySpine;
    for (const auto& entry : contents)
        entrySpine.push_back(entry.entryName.empty() ? std::nullopt : indexOf(entry.entryName));
    std::vector<std::uint64_t> entryOffset(contents.size(), 0);

    BodyText text;
    for (const auto& [document, members] : byDocument) {
        auto bytes = readDocument(spine[document]);
        if (!bytes)
            continue;
        std::vector<std::string> ids;
        std::vector<std::size_t> entries;
        for (std::size_t i = 0; i < contents.size(); ++i) {
            if (entrySpine[i] == document && !contents[i].fragment.empty()) {
                ids.push_back(contents[i].fragment);
                entries.push_back(i);
            }
        }
        auto offsets = elementOffsets(*bytes, ids);
        for (std::size_t i = 0; i < entries.size(); ++i)
            entryOffset[entries[i]] = offsets[i];

        // A character takes one or two UTF-16 code units: reading through the last end as a
        // count of characters reads through it as a count of code units too.
        std::uint64_t last = 0;
        for (std::size_t member : members)
            last = std::max(last, placed[member].highlight.end);
        text.restart(BodyPlace {});
        last = std::min<std::uint64_t>(last, std::numeric_limits<std::uint32_t>::max());
        text.readThrough(*bytes, std::size_t(last));
        for (std::size_t member : members)
            placed[member].matchesText = matchesText(text, placed[member].highlight);
    }

    for (auto& item : placed) {
        if (item.spine)
            item.chapter
                = chapterOf(contents, entrySpine, entryOffset, *item.spine, item.highlight.start);
    }
    std::stable_sort(placed.begin(), placed.end(), comesBefore);
    return placed;
}

bool comesBefore(const PlacedHighlight& a, const PlacedHighlight& b)
{
    if (a.spine.has_value() != b.spine.has_value())
        return a.spine.has_value();
    if (!a.spine)
        return false;
    return *a.spine != *b.spine ? *a.spine < *b.spine : a.highlight.start < b.highlight.start;
}

}
