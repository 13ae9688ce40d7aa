// The document is read with the same piece-by-piece reading find in the book uses (so offsets
// agree with the reader's), its tags looked at on the way for the elements they open and close.
#include "frameworks/folioreader/sync/XPointer.h"

#include "frameworks/folioreader/search/readBodyPiece.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>

namespace folioreader {

namespace {

constexpr std::size_t largestPosition = 10'000'000;
constexpr std::size_t deepestPath = 256;
constexpr std::uint64_t largestCharacter = 1'000'000'000;

bool isWhite(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n' || c == U'\r';
}

struct Tag {
    enum class Kind { start, end, selfClosing, comment, other } kind = Kind::other;
    std::string name;
};

// The tag at the '<' at at: its kind and its local name in lower case.
Tag tagAt(std::string_view xhtml, std::size_t at)
{
    if (xhtml.compare(at, 4, "<!--") == 0)
        return { Tag::Kind::comment, {} };
    auto end = xhtml.find('>', at);
    if (end == std::string_view::npos || at + 1 >= xhtml.size() || xhtml[at + 1] == '!'
        || xhtml[at + 1] == '?')
        return {};
    auto inner = xhtml.substr(at + 1, end - at - 1);
    bool closing = !inner.empty() && inner.front() == '/';
    if (closing)
        inner.remove_prefix(1);
    auto nameEnd = inner.find_first_of(" \t\r\n/");
    auto name = inner.substr(0, nameEnd);
    if (auto colon = name.rfind(':'); colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    // Only a name a place can be written with names an element: a letter or '_' first, then
    // letters, digits, '_' and '-'. Anything else between '<' and '>' is no element of the page.
    auto letter
        = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    if (name.empty() || !letter(name.front())
        || !std::all_of(name.begin(), name.end(),
            [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '-'; }))
        return {};
    Tag tag;
    for (char c : name)
        tag.name += c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    tag.kind = closing                          ? Tag::Kind::end
        : !inner.empty() && inner.back() == '/' ? Tag::Kind::selfClosing
                                                : Tag::Kind::start;
    return tag;
}

// Walks the elements of a document's body and the characters of its text, handing them to a
// visitor that has elementStarted(walk), elementEnded(walk), character(c, utf16, walk) and done().
class ElementWalk {
public:
    static constexpr bool wantsBlocks = false;
    static constexpr bool wantsTextRuns = false;

    struct Open {
        std::string name;
        std::size_t position = 1;
        std::map<std::string, std::size_t> children;
        // The text nodes among its children that hold more than white space, so far.
        std::size_t textNodes = 0;
    };

    explicit ElementWalk(std::string_view xhtml)
        : m_xhtml(xhtml)
    {
    }

    template <class Visitor> void walk(Visitor& visitor)
    {
        m_visit = [&](Event event, char32_t c, std::uint64_t utf16) {
            if (event == Event::started)
                visitor.elementStarted(*this);
            else if (event == Event::ended)
                visitor.elementEnded(*this);
            else
                visitor.character(c, utf16, *this);
        };
        while (!visitor.done() && !m_ended) {
            // A CDATA section is read past whole, so a '<' here always starts a tag or comment.
            if (m_place.at < m_xhtml.size() && m_xhtml[m_place.at] == '<')
                lookAt(tagAt(m_xhtml, m_place.at));
            if (m_ended || !readBodyPiece(m_xhtml, m_place, *this))
                break;
        }
    }

    const std::vector<Open>& open() const { return m_open; }
    // The characters before the piece being read.
    std::uint64_t utf16() const { return m_place.utf16(); }
    // Of the text node being read: its start, the characters read of it, and whether it holds
    // more than white space so far (it is then counted among its parent's).
    std::uint64_t nodeStart() const { return m_nodeStart; }
    std::uint64_t nodeCharacters() const { return m_nodeCharacters; }
    bool nodeCounted() const { return m_nodeCounted; }
    bool inTextNode() const { return m_inText; }

    // The reading's sink (see readBodyPiece).
    void ascii(std::string_view run, const BodyPlace& place, bool)
    {
        for (std::size_t i = 0; i < run.size(); ++i)
            read(char32_t(static_cast<unsigned char>(run[i])), place.utf16() + i);
    }
    void character(char32_t c, const BodyPlace& place, bool) { read(c, place.utf16()); }
    void separate(std::uint32_t) { }

private:
    enum class Event { started, ended, character };

    void lookAt(const Tag& tag)
    {
        m_inText = false;
        if (tag.kind == Tag::Kind::start && tag.name == "body" && m_open.empty()) {
            m_open.push_back({ "body" });
            return;
        }
        if (m_open.empty())
            return;
        if (tag.kind == Tag::Kind::start || tag.kind == Tag::Kind::selfClosing) {
            if (m_open.size() >= deepestPath)
                return;
            auto position = ++m_open.back().children[tag.name];
            m_open.push_back({ tag.name, position });
            m_visit(Event::started, 0, 0);
            if (tag.kind == Tag::Kind::selfClosing)
                close();
        } else if (tag.kind == Tag::Kind::end) {
            if (tag.name == "body") {
                m_ended = true;
                return;
            }
            // An end tag closes the nearest element of its name, and any left open inside it; one
            // that closes nothing open is passed over.
            for (std::size_t depth = m_open.size(); depth-- > 1;) {
                if (m_open[depth].name != tag.name)
                    continue;
                while (m_open.size() > depth)
                    close();
                break;
            }
        }
    }

    void close()
    {
        m_visit(Event::ended, 0, 0);
        m_open.pop_back();
        m_inText = false;
    }

    void read(char32_t c, std::uint64_t utf16)
    {
        if (m_open.empty())
            return;
        if (!m_inText) {
            m_inText = true;
            m_nodeCounted = false;
            m_nodeStart = utf16;
            m_nodeCharacters = 0;
        }
        if (!m_nodeCounted && !isWhite(c)) {
            m_nodeCounted = true;
            ++m_open.back().textNodes;
        }
        m_visit(Event::character, c, utf16);
        ++m_nodeCharacters;
    }

    std::string_view m_xhtml;
    BodyPlace m_place;
    std::vector<Open> m_open;
    std::function<void(Event, char32_t, std::uint64_t)> m_visit;
    bool m_ended = false;
    bool m_inText = false;
    bool m_nodeCounted = false;
    std::uint64_t m_nodeStart = 0;
    std::uint64_t m_nodeCharacters = 0;
};

std::vector<XPointer::Step> stepsOf(const std::vector<ElementWalk::Open>& open)
{
    std::vector<XPointer::Step> steps;
    for (std::size_t depth = 1; depth < open.size(); ++depth)
        steps.push_back({ open[depth].name, open[depth].position });
    return steps;
}

bool standsAt(const std::vector<ElementWalk::Open>& open, const std::vector<XPointer::Step>& steps)
{
    if (open.size() != steps.size() + 1)
        return false;
    for (std::size_t at = 0; at < steps.size(); ++at) {
        if (open[at + 1].name != steps[at].name || open[at + 1].position != steps[at].position)
            return false;
    }
    return true;
}

// Finds the first character that is not white space at or after an offset.
struct Locate {
    std::uint64_t offset;
    std::optional<XPointer> found;

    void elementStarted(const ElementWalk&) { }
    void elementEnded(const ElementWalk&) { }
    void character(char32_t c, std::uint64_t utf16, const ElementWalk& walk)
    {
        // A run of text is handed on whole: the first character found stays.
        if (found || utf16 < offset || isWhite(c))
            return;
        found = XPointer { 1, stepsOf(walk.open()), walk.open().back().textNodes,
            walk.nodeCharacters() };
    }
    bool done() const { return found.has_value(); }
};

// Finds the pointer's element, then its character.
struct Resolve {
    const XPointer& pointer;
    std::optional<std::uint64_t> elementStart;
    std::size_t depth = 0;
    std::optional<std::uint64_t> nodeEnd;
    std::optional<std::uint64_t> result;

    void elementStarted(const ElementWalk& walk)
    {
        if (elementStart || !standsAt(walk.open(), pointer.steps))
            return;
        elementStart = walk.utf16();
        depth = walk.open().size();
        if (!pointer.textNode)
            result = elementStart;
    }
    void elementEnded(const ElementWalk& walk)
    {
        if (elementStart && !result && walk.open().size() == depth)
            result = nodeEnd.value_or(*elementStart);
    }
    void character(char32_t c, std::uint64_t utf16, const ElementWalk& walk)
    {
        if (!elementStart || result || walk.open().size() != depth || !walk.nodeCounted())
            return;
        auto node = walk.open().back().textNodes;
        if (node > *pointer.textNode) {
            result = nodeEnd.value_or(*elementStart);
            return;
        }
        if (node != *pointer.textNode)
            return;
        // White space that leads the node counts in it, and is one unit a character.
        if (walk.nodeCharacters() >= pointer.character)
            result = walk.nodeCharacters() == pointer.character
                ? utf16
                : walk.nodeStart() + pointer.character;
        nodeEnd = utf16 + (c > 0xFFFF ? 2 : 1);
    }
    bool done() const { return result.has_value(); }
};

// Reads digits at text's start into value (at most largest); answers how many were read.
std::size_t readNumber(std::string_view text, std::uint64_t& value, std::uint64_t largest)
{
    auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || value > largest)
        return 0;
    return std::size_t(end - text.data());
}

// "[N]" at text's start, N at least 1: its length, or 0.
std::size_t readPosition(std::string_view text, std::size_t& position)
{
    std::uint64_t value = 0;
    if (text.empty() || text.front() != '[')
        return 0;
    auto digits = readNumber(text.substr(1), value, largestPosition);
    if (digits == 0 || value == 0 || text.size() <= digits + 1 || text[digits + 1] != ']')
        return 0;
    position = std::size_t(value);
    return digits + 2;
}

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || c == '-' || c == ':';
}

}

std::optional<XPointer> XPointer::parse(std::string_view text)
{
    constexpr std::string_view start = "/body/DocFragment";
    if (text.substr(0, start.size()) != start)
        return std::nullopt;
    text.remove_prefix(start.size());
    XPointer pointer;
    auto length = readPosition(text, pointer.fragment);
    if (length == 0)
        return std::nullopt;
    text.remove_prefix(length);
    if (text.substr(0, 5) == "/body" && (text.size() == 5 || text[5] == '/' || text[5] == '.'))
        text.remove_prefix(5);
    while (!text.empty() && text.front() == '/') {
        text.remove_prefix(1);
        if (text.substr(0, 6) == "text()") {
            text.remove_prefix(6);
            std::size_t node = 1;
            text.remove_prefix(readPosition(text, node));
            pointer.textNode = node;
            break;
        }
        std::size_t nameLength = 0;
        while (nameLength < text.size() && isNameCharacter(text[nameLength]))
            ++nameLength;
        if (nameLength == 0 || pointer.steps.size() >= deepestPath)
            return std::nullopt;
        Step step;
        for (char c : text.substr(0, nameLength)) {
            if (c == ':')
                step.name.clear();
            else
                step.name += c >= 'A' && c <= 'Z' ? char(c + 32) : c;
        }
        text.remove_prefix(nameLength);
        text.remove_prefix(readPosition(text, step.position));
        if (step.name.empty())
            return std::nullopt;
        pointer.steps.push_back(std::move(step));
    }
    // ".K": the character in the text node; after an element it names no character of ours.
    if (!text.empty() && text.front() == '.') {
        std::uint64_t character = 0;
        auto digits = readNumber(text.substr(1), character, largestCharacter);
        if (digits == 0)
            return std::nullopt;
        if (pointer.textNode)
            pointer.character = character;
        text.remove_prefix(digits + 1);
    }
    if (!text.empty())
        return std::nullopt;
    return pointer;
}

std::string XPointer::text() const
{
    std::string text = "/body/DocFragment[" + std::to_string(fragment) + "]/body";
    for (const auto& step : steps)
        text += "/" + step.name
            + (step.position > 1 ? "[" + std::to_string(step.position) + "]" : "");
    if (textNode)
        text += "/text()" + (*textNode > 1 ? "[" + std::to_string(*textNode) + "]" : "") + "."
            + std::to_string(character);
    return text;
}

XPointer xpointerAt(std::string_view xhtml, std::size_t fragment, std::uint64_t offset)
{
    Locate locate { offset, std::nullopt };
    ElementWalk(xhtml).walk(locate);
    XPointer pointer = locate.found.value_or(XPointer {});
    pointer.fragment = fragment;
    return pointer;
}

std::optional<std::uint64_t> offsetOf(std::string_view xhtml, const XPointer& pointer)
{
    if (pointer.steps.empty() && !pointer.textNode)
        return 0;
    Resolve resolve { pointer };
    // Text straight in the body stands in the element every walk starts in.
    if (pointer.steps.empty()) {
        resolve.elementStart = 0;
        resolve.depth = 1;
    }
    ElementWalk(xhtml).walk(resolve);
    if (!resolve.result && resolve.elementStart)
        return resolve.nodeEnd.value_or(*resolve.elementStart);
    return resolve.result;
}

}
