// HTML fragments to styled text with gumbo: a walk of the parsed tree carrying the styles that
// the enclosing elements set.
#include "platform/html/HTMLReader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <gumbo.h>
#include <memory>
#include <utf8proc.h>
#include <vector>

namespace html {

namespace {

// A short rich text is kilobytes; this bounds the work a hostile fragment can cause.
constexpr std::size_t maximumFragmentSize = 1024 * 1024;
// A short rich text has tens of elements. Their number bounds the tree's depth, which the
// parser's own clean-up descends recursively (a megabyte of "<b>" would overflow the stack), and
// the parser's work, which grows with the square of nested formatting elements.
constexpr std::size_t maximumElements = 1024;
// Styles nest no deeper than this; text inside deeper elements keeps the style reached here.
constexpr int maximumNesting = 64;
constexpr double pointsPerPixel = 0.75;
// CSS pixels of the HTML font sizes 1 to 7.
constexpr std::array<double, 7> pixelsOfFontSize { 10, 13, 16, 18, 24, 32, 48 };
constexpr int defaultFontSize = 3;

struct Style {
    std::string family = "Times";
    double pointSize = pixelsOfFontSize[defaultFontSize - 1] * pointsPerPixel;
    bool bold = false;
    bool italic = false;
    ui::Color color = ui::Color::blackColor();
    ui::TextAlignment alignment = ui::TextAlignment::natural;

    ui::TextAttributes attributes() const
    {
        std::string name = family;
        if (bold || italic)
            name += std::string("-") + (bold ? "Bold" : "") + (italic ? "Italic" : "");
        return { std::make_shared<ui::Font>(name, pointSize), color, alignment };
    }
};

std::string lowercase(std::string_view text)
{
    std::string lower(text);
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

const char* attribute(const GumboElement& element, const char* name)
{
    const GumboAttribute* found = gumbo_get_attribute(&element.attributes, name);
    return found ? found->value : nullptr;
}

bool isValidUtf8(std::string_view bytes, std::size_t& badOffset)
{
    auto* data = reinterpret_cast<const utf8proc_uint8_t*>(bytes.data());
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (data[at] < 0x80) {
            ++at;
            continue;
        }
        utf8proc_int32_t codePoint = 0;
        auto length = utf8proc_iterate(
            data + at, static_cast<utf8proc_ssize_t>(bytes.size() - at), &codePoint);
        if (length <= 0) {
            badOffset = at;
            return false;
        }
        at += static_cast<std::size_t>(length);
    }
    return true;
}

// An upper bound of the number of elements: every "<" followed by a letter may open one.
std::size_t startTagCount(std::string_view bytes)
{
    std::size_t count = 0;
    for (std::size_t at = bytes.find('<'); at != std::string_view::npos && at + 1 < bytes.size();
         at = bytes.find('<', at + 1)) {
        if (std::isalpha(static_cast<unsigned char>(bytes[at + 1])))
            ++count;
    }
    return count;
}

bool isSkipped(GumboTag tag)
{
    return tag == GUMBO_TAG_HEAD || tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE
        || tag == GUMBO_TAG_TITLE;
}

class StyledTextBuilder {
public:
    void walk(const GumboNode& node, Style style, int depth = 0)
    {
        switch (node.type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            addText(node.v.text.text, style);
            return;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            if (depth >= maximumNesting)
                addFlattened(node, style);
            else
                walkElement(node.v.element, style, depth);
            return;
        case GUMBO_NODE_DOCUMENT:
        case GUMBO_NODE_COMMENT:
            return;
        }
    }

    ui::AttributedString take() { return std::move(m_result); }

private:
    void walkElement(const GumboElement& element, Style style, int depth)
    {
        if (isSkipped(element.tag))
            return;
        switch (element.tag) {
        case GUMBO_TAG_BR:
            addLineBreak(style);
            return;
        case GUMBO_TAG_CENTER:
            style.alignment = ui::TextAlignment::center;
            break;
        case GUMBO_TAG_B:
        case GUMBO_TAG_STRONG:
            style.bold = true;
            break;
        case GUMBO_TAG_I:
        case GUMBO_TAG_EM:
            style.italic = true;
            break;
        case GUMBO_TAG_FONT:
            applyFont(element, style);
            break;
        default:
            break;
        }
        if (const char* align = attribute(element, "align")) {
            auto value = lowercase(trimmed(align));
            if (value == "center")
                style.alignment = ui::TextAlignment::center;
            else if (value == "right")
                style.alignment = ui::TextAlignment::right;
            else if (value == "left")
                style.alignment = ui::TextAlignment::left;
        }
        bool block = element.tag == GUMBO_TAG_P || element.tag == GUMBO_TAG_DIV
            || element.tag == GUMBO_TAG_LI
            || (element.tag >= GUMBO_TAG_H1 && element.tag <= GUMBO_TAG_H6);
        if (block)
            endLine(style);
        for (unsigned i = 0; i < element.children.length; ++i)
            walk(*static_cast<const GumboNode*>(element.children.data[i]), style, depth + 1);
        if (block)
            endLine(style);
    }

    // The text and line breaks under a node nested too deep for styles, in document order,
    // without recursion.
    void addFlattened(const GumboNode& top, const Style& style)
    {
        std::vector<const GumboNode*> pending { &top };
        while (!pending.empty()) {
            const GumboNode& node = *pending.back();
            pending.pop_back();
            if (node.type == GUMBO_NODE_TEXT || node.type == GUMBO_NODE_CDATA
                || node.type == GUMBO_NODE_WHITESPACE) {
                addText(node.v.text.text, style);
            } else if (node.type == GUMBO_NODE_ELEMENT || node.type == GUMBO_NODE_TEMPLATE) {
                const GumboElement& element = node.v.element;
                if (element.tag == GUMBO_TAG_BR)
                    addLineBreak(style);
                else if (!isSkipped(element.tag))
                    for (unsigned i = element.children.length; i > 0; --i)
                        pending.push_back(
                            static_cast<const GumboNode*>(element.children.data[i - 1]));
            }
        }
    }

    static void applyFont(const GumboElement& element, Style& style)
    {
        if (const char* size = attribute(element, "size")) {
            if (auto points = pointSizeOfFontSize(size))
                style.pointSize = *points;
        }
        if (const char* color = attribute(element, "color")) {
            if (auto value = colorOfHTMLValue(color))
                style.color = *value;
        }
        if (const char* face = attribute(element, "face")) {
            std::string_view families = face;
            auto first = trimmed(families.substr(0, families.find(',')));
            if (first.size() >= 2 && (first.front() == '"' || first.front() == '\''))
                first = first.substr(1, first.size() - 2);
            if (!first.empty())
                style.family = std::string(first);
        }
    }

    // Runs of white space become one blank, and none starts a line.
    void addText(std::string_view text, const Style& style)
    {
        std::string collapsed;
        for (char c : text) {
            bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
            if (space) {
                if (!m_atLineStart && !m_afterSpace)
                    collapsed += ' ';
                m_afterSpace = true;
            } else {
                collapsed += c;
                m_afterSpace = false;
                m_atLineStart = false;
            }
        }
        m_result.append(std::move(collapsed), style.attributes());
    }

    void addLineBreak(const Style& style)
    {
        m_result.append("\n", style.attributes());
        m_atLineStart = true;
        m_afterSpace = false;
    }

    void endLine(const Style& style)
    {
        if (!m_atLineStart)
            addLineBreak(style);
    }

    ui::AttributedString m_result;
    bool m_atLineStart = true;
    bool m_afterSpace = false;
};

}

std::optional<double> pointSizeOfFontSize(std::string_view value)
{
    value = trimmed(value);
    int sign = 0;
    if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
        sign = value.front() == '+' ? 1 : -1;
        value.remove_prefix(1);
    }
    int number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || value.empty())
        return std::nullopt;
    int size = sign == 0 ? number : defaultFontSize + sign * number;
    size = std::clamp(size, 1, 7);
    return pixelsOfFontSize[static_cast<std::size_t>(size - 1)] * pointsPerPixel;
}

std::optional<ui::Color> colorOfHTMLValue(std::string_view value)
{
    auto text = lowercase(trimmed(value));
    static const std::pair<const char*, ui::Color> named[] = {
        { "black", ui::Color::blackColor() },
        { "white", ui::Color::whiteColor() },
        { "red", ui::Color::withRGBA(1, 0, 0, 1) },
        { "green", ui::Color::withRGBA(0, 128 / 255.0, 0, 1) },
        { "blue", ui::Color::blueColor() },
        { "gray", ui::Color::withRGBA(128 / 255.0, 128 / 255.0, 128 / 255.0, 1) },
        { "grey", ui::Color::withRGBA(128 / 255.0, 128 / 255.0, 128 / 255.0, 1) },
        { "silver", ui::Color::withRGBA(192 / 255.0, 192 / 255.0, 192 / 255.0, 1) },
        { "maroon", ui::Color::withRGBA(128 / 255.0, 0, 0, 1) },
        { "navy", ui::Color::withRGBA(0, 0, 128 / 255.0, 1) },
        { "yellow", ui::Color::withRGBA(1, 1, 0, 1) },
        { "orange", ui::Color::withRGBA(1, 165 / 255.0, 0, 1) },
    };
    for (const auto& [name, color] : named) {
        if (text == name)
            return color;
    }
    if (!text.empty() && text.front() == '#')
        text.erase(0, 1);
    if ((text.size() != 3 && text.size() != 6)
        || text.find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    if (text.size() == 3)
        text = { text[0], text[0], text[1], text[1], text[2], text[2] };
    auto channel
        = [&](std::size_t at) { return std::stoi(text.substr(at, 2), nullptr, 16) / 255.0; };
    return ui::Color::withRGBA(channel(0), channel(2), channel(4), 1);
}

foundation::Result<ui::AttributedString> attributedStringFromHTML(std::string_view bytes)
{
    if (bytes.size() > maximumFragmentSize)
        return foundation::Error("the HTML is larger than a text fragment may be");
    if (startTagCount(bytes) > maximumElements)
        return foundation::Error("the HTML has more elements than a text fragment may have");
    std::size_t badOffset = 0;
    if (!isValidUtf8(bytes, badOffset))
        return foundation::Error(
            "the HTML is not valid UTF-8 (at byte " + std::to_string(badOffset) + ")");
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&kGumboDefaultOptions, bytes.data(), bytes.size()),
        [](GumboOutput* parsed) { gumbo_destroy_output(&kGumboDefaultOptions, parsed); });
    if (!output)
        return foundation::Error("the HTML cannot be read");
    StyledTextBuilder builder;
    builder.walk(*output->root, Style {});
    return builder.take();
}

}
