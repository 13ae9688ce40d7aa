// Plain text of HTML in one pass over the bytes, stopping once the text is full. Written by hand
// rather than through the HTML parser: a full parse costs about a hundred microseconds for a
// description of a few hundred bytes, which a library's first scan would pay once per book.
#include "platform/html/PlainText.h"

#include "platform/html/CharacterReferences.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utf8proc.h>

namespace html {

namespace {

// What a numeric reference to 0x80 to 0x9F stands for, as browsers read it: the Windows-1252
// character of that byte (0 where the byte has none).
constexpr std::array<char32_t, 32> windows1252 {
    0x20AC,
    0,
    0x201A,
    0x192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x2C6,
    0x2030,
    0x160,
    0x2039,
    0x152,
    0,
    0x17D,
    0,
    0,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x2DC,
    0x2122,
    0x161,
    0x203A,
    0x153,
    0,
    0x17E,
    0x178,
};

// Elements that start a block of their own: the text on either side of their tags is apart.
constexpr std::string_view blockNames[] {
    "address",
    "article",
    "aside",
    "blockquote",
    "br",
    "caption",
    "dd",
    "div",
    "dl",
    "dt",
    "figcaption",
    "figure",
    "footer",
    "h1",
    "h2",
    "h3",
    "h4",
    "h5",
    "h6",
    "header",
    "hr",
    "li",
    "ol",
    "p",
    "pre",
    "section",
    "table",
    "td",
    "th",
    "tr",
    "ul",
};

constexpr char32_t replacement = 0xFFFD;

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlphanumeric(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9');
}

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Where text equal to needle in any case starts in haystack from position from; npos when nowhere.
std::size_t findIgnoringCase(std::string_view haystack, std::string_view needle, std::size_t from)
{
    auto found = std::search(haystack.begin() + std::ptrdiff_t(std::min(from, haystack.size())),
        haystack.end(), needle.begin(), needle.end(),
        [](char a, char b) { return lowered(a) == lowered(b); });
    return found == haystack.end() ? std::string_view::npos : std::size_t(found - haystack.begin());
}

// The text being made: white space collapsed, characters counted, cut at the bound.
class TextBuilder {
public:
    explicit TextBuilder(std::size_t maximum)
        : m_maximum(maximum)
    {
    }

    bool isCut() const { return m_cut; }
    std::string take() { return std::move(m_text); }

    void space() { m_pendingSpace = !m_text.empty(); }

    void add(char32_t point)
    {
        if (point == ' ' || point == '\t' || point == '\n' || point == '\r' || point == '\f'
            || point == 0xA0) {
            space();
            return;
        }
        bool invisible = point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0xAD
            || point == 0xFFFE || point == 0xFFFF;
        if (invisible)
            return;
        if (m_pendingSpace) {
            m_pendingSpace = false;
            emit(' ');
        }
        emit(point);
    }

private:
    void emit(char32_t point)
    {
        if (m_cut)
            return;
        if (m_count == m_maximum) {
            cut();
            return;
        }
        m_lastStart = m_text.size();
        utf8proc_uint8_t bytes[4];
        auto length = utf8proc_encode_char(utf8proc_int32_t(point), bytes);
        m_text.append(reinterpret_cast<const char*>(bytes), std::size_t(length));
        ++m_count;
    }

    // The text is full and more follows: its last character (and a space before it) makes way
    // for the ellipsis, so the text stays within the bound.
    void cut()
    {
        m_cut = true;
        if (m_maximum == 0)
            return;
        m_text.resize(m_lastStart);
        if (!m_text.empty() && m_text.back() == ' ')
            m_text.pop_back();
        m_text += "\xE2\x80\xA6";
    }

    std::size_t m_maximum;
    std::string m_text;
    std::size_t m_count = 0;
    std::size_t m_lastStart = 0;
    bool m_pendingSpace = false;
    bool m_cut = false;
};

struct Decoded {
    char32_t point;
    std::size_t end;
};

// The character reference that starts at the "&" at position at; nothing when none does.
std::optional<Decoded> characterReference(std::string_view markup, std::size_t at)
{
    std::size_t start = at + 1;
    if (start < markup.size() && markup[start] == '#') {
        bool hex = start + 1 < markup.size() && lowered(markup[start + 1]) == 'x';
        std::size_t digits = start + (hex ? 2 : 1);
        std::size_t end = digits;
        std::uint32_t value = 0;
        while (end < markup.size() && end - digits < 8) {
            char c = lowered(markup[end]);
            int digit = c >= '0' && c <= '9'  ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                                              : -1;
            if (digit < 0)
                break;
            value = value * (hex ? 16 : 10) + std::uint32_t(digit);
            ++end;
        }
        if (end == digits)
            return std::nullopt;
        if (end < markup.size() && markup[end] == ';')
            ++end;
        char32_t point = value;
        if (value >= 0x80 && value <= 0x9F)
            point = windows1252[value - 0x80] ? windows1252[value - 0x80] : value;
        else if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            point = replacement;
        return Decoded { point, end };
    }
    std::size_t end = start;
    while (end < markup.size() && end - start < 8 && isAsciiAlphanumeric(markup[end]))
        ++end;
    if (end == start || end >= markup.size() || markup[end] != ';')
        return std::nullopt;
    if (char32_t point = namedCharacter(markup.substr(start, end - start)))
        return Decoded { point, end + 1 };
    return std::nullopt;
}

// Where the markup (a tag, a comment, a declaration) that starts at the "<" at position at ends;
// nothing when the "<" starts none and is text. A block element's tag leaves a space in text.
std::optional<std::size_t> skipMarkup(std::string_view markup, std::size_t at, TextBuilder& text)
{
    if (markup.substr(at, 4) == "<!--") {
        std::size_t close = markup.find("-->", at + 4);
        return close == std::string_view::npos ? markup.size() : close + 3;
    }
    std::size_t nameStart = at + 1;
    bool closing = nameStart < markup.size() && markup[nameStart] == '/';
    if (closing)
        ++nameStart;
    if (nameStart >= markup.size())
        return std::nullopt;
    char first = markup[nameStart];
    if (!isAsciiLetter(first) && !(!closing && (first == '!' || first == '?')))
        return std::nullopt;
    std::size_t nameEnd = nameStart;
    while (nameEnd < markup.size() && isAsciiAlphanumeric(markup[nameEnd]))
        ++nameEnd;
    // The tag ends at the first ">" outside a quoted attribute value.
    char quote = 0;
    std::size_t end = nameEnd;
    for (; end < markup.size(); ++end) {
        char c = markup[end];
        if (quote) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (end == markup.size())
        return std::nullopt;
    std::string name(markup.substr(nameStart, nameEnd - nameStart));
    std::transform(name.begin(), name.end(), name.begin(), lowered);
    if (std::find(std::begin(blockNames), std::end(blockNames), name) != std::end(blockNames))
        text.space();
    if (!closing && (name == "script" || name == "style")) {
        std::size_t close = findIgnoringCase(markup, "</" + name, end + 1);
        if (close == std::string_view::npos)
            return markup.size();
        std::size_t closeEnd = markup.find('>', close);
        return closeEnd == std::string_view::npos ? markup.size() : closeEnd + 1;
    }
    return end + 1;
}

}

std::string plainText(std::string_view markup, std::size_t maximumCharacters)
{
    TextBuilder text(maximumCharacters);
    auto bytes = reinterpret_cast<const utf8proc_uint8_t*>(markup.data());
    std::size_t at = 0;
    while (at < markup.size() && !text.isCut()) {
        if (markup[at] == '<') {
            if (auto end = skipMarkup(markup, at, text)) {
                at = *end;
                continue;
            }
        } else if (markup[at] == '&') {
            if (auto reference = characterReference(markup, at)) {
                text.add(reference->point);
                at = reference->end;
                continue;
            }
        }
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(bytes + at, utf8proc_ssize_t(markup.size() - at), &point);
        if (length <= 0) {
            text.add(replacement);
            ++at;
            continue;
        }
        text.add(char32_t(point));
        at += std::size_t(length);
    }
    return text.take();
}

}
