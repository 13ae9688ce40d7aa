// The document is read once: its tags are skipped, entities decoded, and the body's characters
// folded into one buffer that remembers, for each folded character, the character it came from
// (FoldedText).
#include "frameworks/folioreader/BookSearch.h"

#include "frameworks/folioreader/FoldedText.h"

#include <algorithm>
#include <array>
#include <utf8proc.h>
#include <vector>

namespace folioreader {

namespace {

constexpr std::size_t contextCharacters = 40;
// The most characters whose buffers a thread keeps between pages (about 20 MB).
constexpr std::size_t largestKeptPage = 1u << 20;

char32_t decodeEntity(std::string_view name)
{
    if (name == "amp")
        return '&';
    if (name == "lt")
        return '<';
    if (name == "gt")
        return '>';
    if (name == "quot")
        return '"';
    if (name == "apos")
        return '\'';
    if (name == "nbsp")
        return 0xA0;
    if (name.size() > 1 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        std::uint32_t value = 0;
        for (char c : name.substr(hex ? 2 : 1)) {
            int digit = c >= '0' && c <= '9' ? c - '0' : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10 : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0 || value > 0x10FFFF)
                return 0;
            value = value * (hex ? 16 : 10) + std::uint32_t(digit);
        }
        return value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF) ? char32_t(value) : 0;
    }
    return 0;
}

// The body's characters, decoded, and those that take two UTF-16 code units.
struct BodyText {
    std::vector<char32_t> characters;
    // The characters beyond the Basic Multilingual Plane, in order: few in most books.
    std::vector<std::uint32_t> astral;
    // The characters that begin a new block (a paragraph, a heading, a line break), in order.
    std::vector<std::uint32_t> breaks;
    FoldedText folded;

    void add(char32_t c, bool matched)
    {
        auto index = std::uint32_t(characters.size());
        characters.push_back(c);
        if (c > 0xFFFF)
            astral.push_back(index);
        if (matched)
            folded.add(c, index);
    }

    void addAscii(std::string_view run, bool matched)
    {
        auto first = std::uint32_t(characters.size());
        characters.insert(characters.end(), reinterpret_cast<const unsigned char*>(run.data()),
            reinterpret_cast<const unsigned char*>(run.data()) + run.size());
        if (matched)
            folded.addAscii(run, first);
    }

    // Where the character at index starts, in UTF-16 code units.
    std::uint64_t utf16At(std::size_t index) const
    {
        return index + std::size_t(std::lower_bound(astral.begin(), astral.end(), std::uint32_t(index)) - astral.begin());
    }
};

bool startsWithName(std::string_view tag, std::string_view name)
{
    if (tag.size() < name.size())
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((tag[i] | 0x20) != name[i])
            return false;
    }
    return tag.size() == name.size() || !std::isalnum(static_cast<unsigned char>(tag[name.size()]));
}

bool isBlock(std::string_view name)
{
    for (std::string_view block : { "p", "div", "br", "li", "h1", "h2", "h3", "h4", "h5", "h6", "tr", "td", "th", "blockquote",
             "section", "dd", "dt", "hr", "figcaption", "pre" }) {
        if (startsWithName(name, block))
            return true;
    }
    return false;
}

// Local name of a start or end tag ("xhtml:body" is "body").
std::string_view localName(std::string_view tag)
{
    std::size_t end = 0;
    while (end < tag.size() && !std::isspace(static_cast<unsigned char>(tag[end])) && tag[end] != '/' && tag[end] != '>')
        ++end;
    auto name = tag.substr(0, end);
    auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// Reads the body of the page into body, whose buffers keep their room from the page before: a
// book's pages are searched one after another without asking the system for memory each time.
void readBody(std::string_view xhtml, BodyText& body)
{
    body.characters.clear();
    body.astral.clear();
    body.breaks.clear();
    body.folded.text.clear();
    body.folded.origin.clear();
    // A character takes at least a byte of the page.
    body.characters.reserve(xhtml.size());
    body.folded.text.reserve(xhtml.size());
    body.folded.origin.reserve(xhtml.size());
    bool inBody = false;
    int hidden = 0; // inside a script or style
    std::size_t at = 0;
    while (at < xhtml.size()) {
        char c = xhtml[at];
        if (c == '<') {
            if (xhtml.compare(at, 4, "<!--") == 0) {
                auto end = xhtml.find("-->", at + 4);
                at = end == std::string_view::npos ? xhtml.size() : end + 3;
                continue;
            }
            if (xhtml.compare(at, 9, "<![CDATA[") == 0) {
                auto end = xhtml.find("]]>", at + 9);
                auto stop = end == std::string_view::npos ? xhtml.size() : end;
                for (std::size_t i = at + 9; i < stop;) {
                    utf8proc_int32_t point = 0;
                    auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(xhtml.data() + i), utf8proc_ssize_t(stop - i), &point);
                    if (length <= 0) {
                        ++i;
                        continue;
                    }
                    if (inBody)
                        body.add(char32_t(point), hidden == 0);
                    i += std::size_t(length);
                }
                at = end == std::string_view::npos ? xhtml.size() : end + 3;
                continue;
            }
            auto end = xhtml.find('>', at);
            if (end == std::string_view::npos)
                break;
            auto tag = xhtml.substr(at + 1, end - at - 1);
            bool closing = !tag.empty() && tag[0] == '/';
            auto name = localName(closing ? tag.substr(1) : tag);
            bool selfClosing = !tag.empty() && tag.back() == '/';
            if (startsWithName(name, "body"))
                inBody = !closing;
            else if (inBody && (startsWithName(name, "script") || startsWithName(name, "style")) && !selfClosing) {
                hidden = std::max(0, hidden + (closing ? -1 : 1));
                body.folded.separate(std::uint32_t(body.characters.size()));
            } else if (inBody && isBlock(name)) {
                // Words of two paragraphs are two words, though no character of the text parts them.
                body.breaks.push_back(std::uint32_t(body.characters.size()));
                body.folded.add(U' ', std::uint32_t(body.characters.size()));
            }
            at = end + 1;
            continue;
        }
        if (!inBody) {
            ++at;
            continue;
        }
        if (c == '&') {
            auto semicolon = xhtml.find(';', at);
            if (semicolon != std::string_view::npos && semicolon - at <= 12) {
                if (char32_t decoded = decodeEntity(xhtml.substr(at + 1, semicolon - at - 1))) {
                    body.add(decoded, hidden == 0);
                    at = semicolon + 1;
                    continue;
                }
            }
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            auto end = plainAsciiEnd(xhtml, at + 1);
            body.addAscii(xhtml.substr(at, end - at), hidden == 0);
            at = end;
            continue;
        }
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(xhtml.data() + at), utf8proc_ssize_t(xhtml.size() - at), &point);
        if (length <= 0) {
            ++at;
            continue;
        }
        body.add(char32_t(point), hidden == 0);
        at += std::size_t(length);
    }
}

void appendUtf8(std::string& into, char32_t c)
{
    std::array<utf8proc_uint8_t, 4> bytes {};
    auto length = utf8proc_encode_char(utf8proc_int32_t(c), bytes.data());
    into.append(reinterpret_cast<const char*>(bytes.data()), std::size_t(length));
}

// Whether words part at the boundary before the character at index.
bool partsAt(const BodyText& body, std::size_t index)
{
    const auto& characters = body.characters;
    return (index < characters.size() && isSearchSpace(characters[index])) || (index > 0 && isSearchSpace(characters[index - 1]))
        || std::binary_search(body.breaks.begin(), body.breaks.end(), std::uint32_t(index));
}

// The characters from..to of the body as UTF-8, white space and the parting of blocks made single
// spaces, none at either end.
std::string excerpt(const BodyText& body, std::size_t from, std::size_t to)
{
    auto nextBreak = std::lower_bound(body.breaks.begin(), body.breaks.end(), std::uint32_t(from));
    std::string text;
    bool space = false;
    for (std::size_t i = from; i < to; ++i) {
        for (; nextBreak != body.breaks.end() && *nextBreak <= i; ++nextBreak)
            space = true;
        if (isSearchSpace(body.characters[i])) {
            space = true;
            continue;
        }
        if (space && !text.empty())
            text.push_back(' ');
        space = false;
        appendUtf8(text, body.characters[i]);
    }
    return text;
}

}

std::u32string foldForSearch(std::string_view text)
{
    FoldedText folder;
    std::size_t at = 0;
    while (at < text.size()) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at), utf8proc_ssize_t(text.size() - at), &point);
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

bool searchDocument(std::string_view xhtml, const std::u32string& foldedQuery, const std::function<bool(const SearchMatch&)>& found)
{
    if (foldedQuery.empty())
        return true;
    // Kept per thread for the next page; the room of a page larger than most is given back.
    thread_local BodyText body;
    struct GiveBack {
        BodyText& body;
        ~GiveBack()
        {
            if (body.characters.capacity() > largestKeptPage)
                body = BodyText {};
        }
    } giveBack { body };
    readBody(xhtml, body);
    const auto& text = body.folded.text;
    std::u32string_view haystack(text.data(), text.size());
    for (std::size_t at = 0;;) {
        auto position = findFolded(haystack, foldedQuery, at);
        if (position == std::u32string_view::npos)
            return true;
        auto first = text.begin() + std::ptrdiff_t(position);
        auto last = first + std::ptrdiff_t(foldedQuery.size());
        std::size_t from = body.folded.origin[std::size_t(first - text.begin())];
        std::size_t to = body.folded.origin[std::size_t(last - text.begin()) - 1] + 1;
        // A folded character that several came from ends where the next one starts.
        while (to < body.characters.size() && std::size_t(last - text.begin()) < text.size()
            && body.folded.origin[std::size_t(last - text.begin())] > to)
            ++to;
        SearchMatch match;
        match.start = body.utf16At(from);
        match.end = body.utf16At(to);
        match.before = excerpt(body, from - std::min(from, contextCharacters), from);
        match.match = excerpt(body, from, to);
        match.after = excerpt(body, to, std::min(body.characters.size(), to + contextCharacters));
        if (!match.before.empty() && partsAt(body, from))
            match.before.push_back(' ');
        if (!match.after.empty() && partsAt(body, to))
            match.after.insert(match.after.begin(), ' ');
        if (!found(match))
            return false;
        at = position + foldedQuery.size();
    }
}

}
