// Reading the rules that hide elements from a page's style sheets, and the attributes of a start
// tag.
#include "frameworks/folioreader/search/HiddenElements.h"

#include <algorithm>
#include <cctype>

namespace folioreader {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameCharacter(char c)
{
    auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) || c == '-' || c == '_' || byte >= 0x80;
}

std::string lowered(std::string_view text)
{
    std::string result(text);
    for (auto& c : result)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether declarations (a rule's block, or a style attribute) set display to none.
bool displaysNone(std::string_view declarations)
{
    std::string text;
    for (char c : declarations) {
        if (!isSpace(c))
            text += char(std::tolower(static_cast<unsigned char>(c)));
    }
    constexpr std::string_view none = "display:none";
    for (auto at = text.find(none); at != std::string::npos; at = text.find(none, at + 1)) {
        auto end = at + none.size();
        // Not "-webkit-display" or "display:nonesuch".
        bool starts = at == 0 || text[at - 1] == ';' || text[at - 1] == '{';
        bool whole = starts && (end == text.size() || text[end] == ';' || text[end] == '!');
        if (whole)
            return true;
    }
    return false;
}

std::string withoutComments(std::string_view css)
{
    std::string text;
    for (std::size_t at = 0; at < css.size();) {
        if (css.compare(at, 2, "/*") == 0) {
            auto end = css.find("*/", at + 2);
            at = end == std::string_view::npos ? css.size() : end + 2;
            text += ' ';
        } else {
            text += css[at++];
        }
    }
    return text;
}

// The value of a tag's attribute (by its name, in lower case), or nothing.
std::optional<std::string_view> attribute(std::string_view tag, std::string_view wanted)
{
    std::size_t at = 0;
    while (at < tag.size() && !isSpace(tag[at]) && tag[at] != '/')
        ++at;
    while (at < tag.size()) {
        while (at < tag.size() && (isSpace(tag[at]) || tag[at] == '/'))
            ++at;
        auto nameStart = at;
        while (at < tag.size() && !isSpace(tag[at]) && tag[at] != '=' && tag[at] != '/')
            ++at;
        auto name = tag.substr(nameStart, at - nameStart);
        while (at < tag.size() && isSpace(tag[at]))
            ++at;
        std::string_view value;
        if (at < tag.size() && tag[at] == '=') {
            ++at;
            while (at < tag.size() && isSpace(tag[at]))
                ++at;
            if (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) {
                auto end = tag.find(tag[at], at + 1);
                if (end == std::string_view::npos)
                    end = tag.size();
                value = tag.substr(at + 1, end - at - 1);
                at = std::min(tag.size(), end + 1);
            } else {
                auto valueStart = at;
                while (at < tag.size() && !isSpace(tag[at]))
                    ++at;
                value = tag.substr(valueStart, at - valueStart);
            }
        }
        if (!name.empty() && lowered(name) == wanted)
            return value;
        if (name.empty())
            ++at;
    }
    return std::nullopt;
}

std::string_view localName(std::string_view tag)
{
    std::size_t end = 0;
    while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '/')
        ++end;
    auto name = tag.substr(0, end);
    auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}

HiddenElements HiddenElements::ofPage(std::string_view xhtml, const StyleSheetRules& rulesOf)
{
    HiddenElements hidden;
    // Style sheets are linked, and style elements written, in the head: the body starts the text.
    for (auto at = xhtml.find('<'); at != std::string_view::npos; at = xhtml.find('<', at + 1)) {
        auto end = xhtml.find('>', at);
        if (end == std::string_view::npos)
            break;
        auto tag = xhtml.substr(at + 1, end - at - 1);
        auto name = lowered(localName(tag));
        if (name == "body")
            break;
        if (name == "link") {
            auto rel = attribute(tag, "rel");
            auto href = attribute(tag, "href");
            auto kinds = rel ? lowered(*rel) : std::string();
            bool sheet = kinds.find("stylesheet") != std::string::npos
                && kinds.find("alternate") == std::string::npos;
            if (sheet && href) {
                if (auto rules = rulesOf(*href))
                    hidden.add(*rules);
            }
        } else if (name == "style" && tag.back() != '/') {
            auto close = xhtml.find("</", end);
            if (close == std::string_view::npos)
                break;
            hidden.addStyleSheet(xhtml.substr(end + 1, close - end - 1));
            end = close;
        }
        at = end;
    }
    return hidden;
}

void HiddenElements::addStyleSheet(std::string_view sheet)
{
    auto css = withoutComments(sheet);
    for (std::size_t at = 0; at < css.size();) {
        auto open = css.find('{', at);
        if (open == std::string::npos)
            return;
        auto prelude = trimmed(std::string_view(css).substr(at, open - at));
        // A statement at-rule ("@import url(x);") ends at its semicolon, before any block.
        if (auto semicolon = prelude.rfind(';'); semicolon != std::string_view::npos)
            prelude = trimmed(prelude.substr(semicolon + 1));
        // The block runs to its closing brace, or the end of the sheet.
        std::size_t close = open + 1;
        for (int depth = 1; close < css.size(); ++close) {
            depth += css[close] == '{' ? 1 : css[close] == '}' ? -1 : 0;
            if (depth == 0)
                break;
        }
        auto block = std::string_view(css).substr(open + 1, close - open - 1);
        at = close + 1;
        if (prelude.empty() || prelude.front() == '@' || !displaysNone(block))
            continue;
        for (std::size_t from = 0; from <= prelude.size();) {
            auto comma = std::min(prelude.find(',', from), prelude.size());
            auto text = trimmed(prelude.substr(from, comma - from));
            from = comma + 1;
            Selector selector;
            bool simple = !text.empty();
            for (std::size_t i = 0; simple && i < text.size();) {
                char kind = text[i] == '.' || text[i] == '#' ? text[i++] : 'n';
                auto start = i;
                while (i < text.size() && isNameCharacter(text[i]))
                    ++i;
                auto part = text.substr(start, i - start);
                // "*" stands for any name.
                if (kind == 'n' && start == 0 && part.empty() && text[i] == '*') {
                    ++i;
                    continue;
                }
                if (part.empty() || (kind == 'n' && start != 0)) {
                    simple = false;
                } else if (kind == '.') {
                    selector.classes.emplace_back(part);
                } else if (kind == '#') {
                    selector.id = part;
                } else {
                    selector.name = lowered(part);
                }
            }
            if (simple)
                m_selectors.push_back(std::move(selector));
        }
    }
}

void HiddenElements::add(const HiddenElements& other)
{
    m_selectors.insert(m_selectors.end(), other.m_selectors.begin(), other.m_selectors.end());
}

bool HiddenElements::hides(std::string_view tag) const
{
    if (tag.empty() || tag[0] == '/' || tag[0] == '!' || tag[0] == '?')
        return false;
    if (attribute(tag, "hidden"))
        return true;
    if (auto style = attribute(tag, "style"); style && displaysNone(*style))
        return true;
    if (m_selectors.empty())
        return false;
    auto name = lowered(localName(tag));
    auto id = attribute(tag, "id").value_or("");
    auto classes = attribute(tag, "class").value_or("");
    auto hasClass = [&](std::string_view wanted) {
        for (std::size_t at = 0; at < classes.size();) {
            while (at < classes.size() && isSpace(classes[at]))
                ++at;
            auto start = at;
            while (at < classes.size() && !isSpace(classes[at]))
                ++at;
            if (classes.substr(start, at - start) == wanted)
                return true;
        }
        return false;
    };
    return std::any_of(m_selectors.begin(), m_selectors.end(), [&](const Selector& selector) {
        bool named = selector.name.empty() || selector.name == name;
        const auto& classes = selector.classes;
        return named && (selector.id.empty() || selector.id == id)
            && std::all_of(classes.begin(), classes.end(), hasClass);
    });
}

}
