// The document is read once: its tags are skipped, entities decoded, and the body's characters
// folded into one buffer that remembers, for each folded character, the character it came from.
// ASCII, the bulk of most books, folds here; the library's search folding folds the rest.
#include "frameworks/folioreader/BookSearch.h"

#include "platform/text/SearchFold.h"

#include <algorithm>
#include <array>
#include <utf8proc.h>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace folioreader {

namespace {

constexpr std::size_t contextCharacters = 40;
// The most characters whose buffers a thread keeps between pages (about 20 MB).
constexpr std::size_t largestKeptPage = 1u << 20;

bool isSpace(char32_t c)
{
    if (c < 0x80)
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    auto category = utf8proc_category(utf8proc_int32_t(c));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP;
}

// Printable ASCII folded: letters lower case, the white space of XHTML a space, control characters
// nothing (0).
constexpr auto asciiFolds = [] {
    std::array<char32_t, 128> folds {};
    for (char32_t c = 0x20; c < 0x7F; ++c)
        folds[c] = c >= 'A' && c <= 'Z' ? c + 32 : c;
    for (char c : { '\t', '\n', '\r', '\f' })
        folds[std::size_t(c)] = U' ';
    return folds;
}();

// Folds characters one by one into text, noting for each folded character the index of the
// character it came from; white space runs become one space.
class Folder {
public:
    std::vector<char32_t> text;
    std::vector<std::uint32_t> origin;

    void add(char32_t c, std::uint32_t from)
    {
        if (c < 0x80) {
            auto folded = asciiFolds[c];
            if (folded == U' ')
                addSpace(from);
            else if (folded != 0)
                push(folded, from);
            return;
        }
        // A page repeats its few accented letters: those that fold to one character or none are
        // remembered, by their low bits, and not asked of utf8proc again.
        auto& memo = memos[c % memos.size()];
        if (memo.character != c) {
            if (isSpace(c)) {
                memo = { c, U' ', whiteSpace };
            } else {
                auto folded = text::searchFoldCharacter(c);
                if (folded.size > 1) {
                    for (char32_t part : folded)
                        push(part, from);
                    return;
                }
                memo = { c, folded.characters[0], std::uint8_t(folded.size) };
            }
        }
        if (memo.size == whiteSpace)
            addSpace(from);
        else if (memo.size == 1)
            push(memo.folded, from);
    }

    // A run of printable ASCII and ASCII white space, the characters from first on: the bulk of a
    // page, folded without a call per character.
    void addAscii(std::string_view run, std::uint32_t first)
    {
        // Folded a piece at a time on the stack, then appended whole: the loop keeps everything in
        // registers instead of growing two vectors a character at a time.
        constexpr std::size_t piece = 256;
        std::array<char32_t, piece> folded;
        std::array<std::uint32_t, piece> from;
        // No space opens the text, and none follows another.
        char32_t last = text.empty() ? U' ' : text.back();
        for (std::size_t at = 0; at < run.size(); at += piece) {
            std::size_t count = 0;
            auto end = std::min(run.size(), at + piece);
            // Without a branch per character: a space or a dropped control character is written
            // and then not counted. A space follows a space when the byte before was one; only a
            // control character between them (never in a well-formed page) needs the slower loop.
            char32_t before = last;
            bool dropped = false;
            for (std::size_t i = at; i < end; ++i) {
                char32_t c = asciiFolds[static_cast<unsigned char>(run[i])];
                bool kept = c != 0 && !(c == U' ' && before == U' ');
                dropped |= c == 0;
                folded[count] = c;
                from[count] = first + std::uint32_t(i);
                count += kept;
                before = c;
            }
            if (dropped) {
                count = 0;
                for (std::size_t i = at; i < end; ++i) {
                    char32_t c = asciiFolds[static_cast<unsigned char>(run[i])];
                    bool kept = c != 0 && !(c == U' ' && last == U' ');
                    folded[count] = c;
                    from[count] = first + std::uint32_t(i);
                    count += kept;
                    last = kept ? c : last;
                }
            } else if (count > 0) {
                last = folded[count - 1];
            }
            text.insert(text.end(), folded.begin(), folded.begin() + std::ptrdiff_t(count));
            origin.insert(origin.end(), from.begin(), from.begin() + std::ptrdiff_t(count));
        }
    }

    // A boundary no match crosses (a script or a style between words).
    void separate(std::uint32_t from) { push(U'\0', from); }

private:
    struct Memo {
        char32_t character = 0;
        char32_t folded = 0;
        std::uint8_t size = 0; // of the folded form, or whiteSpace
    };
    static constexpr std::uint8_t whiteSpace = 0xFF;
    std::array<Memo, 1024> memos {};

    void addSpace(std::uint32_t from)
    {
        if (!text.empty() && text.back() != U' ')
            push(U' ', from);
    }

    void push(char32_t c, std::uint32_t from)
    {
        text.push_back(c);
        origin.push_back(from);
    }
};

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
    Folder folded;

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

// The end of the plain ASCII text from at on: the first '<', '&' or byte beyond ASCII, or the end.
std::size_t plainAsciiEnd(std::string_view xhtml, std::size_t at)
{
#ifdef __SSE2__
    const auto tag = _mm_set1_epi8('<');
    const auto entity = _mm_set1_epi8('&');
    for (; at + 16 <= xhtml.size(); at += 16) {
        auto bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(xhtml.data() + at));
        // A byte beyond ASCII has its high bit set, as has a byte that compared equal.
        auto stops = _mm_or_si128(bytes, _mm_or_si128(_mm_cmpeq_epi8(bytes, tag), _mm_cmpeq_epi8(bytes, entity)));
        if (int mask = _mm_movemask_epi8(stops))
            return at + std::size_t(__builtin_ctz(unsigned(mask)));
    }
#endif
    while (at < xhtml.size() && static_cast<unsigned char>(xhtml[at]) < 0x80 && xhtml[at] != '<' && xhtml[at] != '&')
        ++at;
    return at;
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

// Where the query first stands in the text from at on, or npos. Blocks of characters without the
// query's first character are passed whole.
std::size_t findFolded(std::u32string_view text, std::u32string_view query, std::size_t at)
{
    const char32_t first = query.front();
    for (; at + query.size() <= text.size(); ++at) {
#ifdef __SSE2__
        const auto wanted = _mm_set1_epi32(int(first));
        for (; at + 8 <= text.size(); at += 8) {
            auto low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
            auto high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + 4));
            if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi32(low, wanted), _mm_cmpeq_epi32(high, wanted))) != 0)
                break;
        }
#endif
        if (at + query.size() > text.size())
            break;
        if (text[at] == first && text.substr(at, query.size()) == query)
            return at;
    }
    return std::u32string_view::npos;
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
    return (index < characters.size() && isSpace(characters[index])) || (index > 0 && isSpace(characters[index - 1]))
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
        if (isSpace(body.characters[i])) {
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
    Folder folder;
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
