// The entities and tags a reading of a page's body knows.
#include "frameworks/folioreader/search/readBodyPiece.h"

#include "platform/html/CharacterReferences.h"

#include <cctype>
#include <initializer_list>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace folioreader {

namespace {

// Whether the tag's name is name, in any case ("P", "p" and "p class=..." are "p").
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
    for (std::string_view block : { "p", "div", "br", "li", "h1", "h2", "h3", "h4", "h5", "h6",
             "tr", "td", "th", "blockquote", "section", "dd", "dt", "hr", "figcaption", "pre" }) {
        if (startsWithName(name, block))
            return true;
    }
    return false;
}

// Local name of a start or end tag ("xhtml:body" is "body").
std::string_view localName(std::string_view tag)
{
    std::size_t end = 0;
    auto ends = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '/'
            || c == '>';
    };
    while (end < tag.size() && !ends(tag[end]))
        ++end;
    auto name = tag.substr(0, end);
    auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}

char32_t decodeEntity(std::string_view name)
{
    if (name.size() > 1 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        std::uint32_t value = 0;
        for (char c : name.substr(hex ? 2 : 1)) {
            int digit = c >= '0' && c <= '9'  ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
            if (digit < 0 || value > 0x10FFFF)
                return 0;
            value = value * (hex ? 16 : 10) + std::uint32_t(digit);
        }
        return value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)
            ? char32_t(value)
            : 0;
    }
    return html::namedCharacter(name);
}

std::size_t textEnd(std::string_view xhtml, std::size_t at, TextKind kind)
{
    const bool plainAscii = kind == TextKind::plainAscii;
#ifdef __SSE2__
    const auto tag = _mm_set1_epi8('<');
    const auto entity = _mm_set1_epi8('&');
    // Bytes beyond ASCII have their high bit set: kept only when they end the text.
    const auto beyondAscii = _mm_set1_epi8(plainAscii ? char(0x80) : 0);
    for (; at + 16 <= xhtml.size(); at += 16) {
        auto bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(xhtml.data() + at));
        auto stops = _mm_or_si128(_mm_and_si128(bytes, beyondAscii),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, tag), _mm_cmpeq_epi8(bytes, entity)));
        if (int mask = _mm_movemask_epi8(stops))
            return at + std::size_t(__builtin_ctz(unsigned(mask)));
    }
#endif
    for (; at < xhtml.size(); ++at) {
        auto byte = static_cast<unsigned char>(xhtml[at]);
        if (byte == '<' || byte == '&' || (plainAscii && byte >= 0x80))
            return at;
    }
    return xhtml.size();
}

void followHiding(std::string_view tag, BodyPlace& place, const HiddenElements* hidden)
{
    if (tag.empty() || tag[0] == '!' || tag[0] == '?')
        return;
    const bool closing = tag[0] == '/';
    // An element that holds nothing: closed in its own tag, or one that HTML never closes.
    const bool empty = !closing && (tag.back() == '/' || [&] {
        auto name = localName(tag);
        for (std::string_view element : { "br", "img", "hr", "meta", "link", "input", "wbr", "col",
                 "area", "base", "embed", "source", "track", "param" }) {
            if (startsWithName(name, element))
                return true;
        }
        return false;
    }());
    if (place.concealed > 0) {
        if (localName(closing ? tag.substr(1) : tag) != place.concealedName)
            return;
        if (closing)
            --place.concealed;
        else if (!empty)
            ++place.concealed;
    } else if (!closing && !empty && hidden && hidden->hides(tag)) {
        place.concealedName = localName(tag);
        place.concealed = 1;
    }
}

TagKind tagKind(std::string_view tag, bool inBody, bool wantsBlocks)
{
    bool closing = !tag.empty() && tag[0] == '/';
    auto name = localName(closing ? tag.substr(1) : tag);
    if (startsWithName(name, "body"))
        return closing ? TagKind::bodyEnd : TagKind::bodyStart;
    if (!inBody)
        return TagKind::other;
    // "<script/>" opens nothing to close.
    if ((startsWithName(name, "script") || startsWithName(name, "style")) && tag.back() != '/')
        return closing ? TagKind::hidingEnd : TagKind::hidingStart;
    if ((startsWithName(name, "rt") || startsWithName(name, "rp")) && tag.back() != '/')
        return closing ? TagKind::readingEnd : TagKind::readingStart;
    if (closing && startsWithName(name, "ruby"))
        return TagKind::rubyEnd;
    return wantsBlocks && isBlock(name) ? TagKind::block : TagKind::other;
}

}
