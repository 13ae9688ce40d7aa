// Markdown as CommonMark reads it: a backslash before any ASCII punctuation shows it as it is, so
// escaping a character that needed none never changes what a reader sees.
#include "frameworks/folioreader/highlights/HighlightMarkdown.h"

#include <cctype>
#include <ctime>

namespace folioreader {

namespace {

constexpr std::size_t longestFileTitle = 100;

bool isControl(std::string_view text, std::size_t at)
{
    auto c = static_cast<unsigned char>(text[at]);
    bool c1 = c == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) >= 0x80
        && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
    return c < 0x20 || c == 0x7F || c1;
}

// Whether an ampersand at `at` starts what Markdown would read as a character reference.
bool startsReference(std::string_view text, std::size_t at)
{
    std::size_t end = text.find(';', at);
    if (end == std::string_view::npos || end - at > 32 || end == at + 1)
        return false;
    for (std::size_t i = at + 1; i < end; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(text[i])) && text[i] != '#')
            return false;
    }
    return true;
}

std::string escapedLine(std::string_view line)
{
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    std::string escaped;
    // A line that starts "-", "+" or "=" would be a list item or a heading's underline, and
    // "12." or "12)" an ordered list.
    std::size_t digits = 0;
    auto isDigit
        = [&](std::size_t at) { return std::isdigit(static_cast<unsigned char>(line[at])); };
    while (digits < line.size() && digits < 10 && isDigit(digits))
        ++digits;
    bool ordered
        = digits > 0 && digits < line.size() && (line[digits] == '.' || line[digits] == ')');
    std::size_t listMark = ordered ? digits : std::string_view::npos;
    for (std::size_t at = 0; at < line.size(); ++at) {
        char c = line[at];
        if (isControl(line, at)) {
            at += static_cast<unsigned char>(c) == 0xC2 ? 1 : 0;
            escaped += c == '\t' ? " " : "";
            continue;
        }
        bool syntax = std::string_view("\\`*_[]<>#|~").find(c) != std::string_view::npos
            || (c == '&' && startsReference(line, at))
            || (at == 0 && (c == '-' || c == '+' || c == '=')) || at == listMark;
        if (syntax)
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// The text on one line, as a heading takes it.
std::string oneLine(std::string_view text)
{
    std::string line;
    for (char c : text)
        line += (c == '\n' || c == '\r') ? ' ' : c;
    return markdownText(line);
}

std::string dayText(const foundation::Date& date)
{
    std::time_t seconds = std::time_t(date.timeIntervalSince1970());
    std::tm local {};
    char day[16] = "";
    if (localtime_r(&seconds, &local))
        std::strftime(day, sizeof day, "%Y-%m-%d", &local);
    return day;
}

void appendQuote(std::string& out, const PlacedHighlight& item, bool withChapter)
{
    std::string text = markdownText(item.highlight.text);
    std::size_t start = 0;
    bool any = false;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + start, end - start);
        // Blank lines inside the quote keep it one quote; those at its ends are left out.
        if (!line.empty() || (any && end < text.size())) {
            out += line.empty() ? ">\n" : "> " + std::string(line) + "\n";
            any = true;
        }
        start = end + 1;
    }
    if (!any)
        out += ">\n";
    out += "\nHighlighted on " + dayText(item.highlight.created);
    if (withChapter && !item.chapter.empty())
        out += ", in " + oneLine(item.chapter);
    out += "\n\n";
}

void appendBook(std::string& out, const BookHighlights& book, int level)
{
    const std::string heading(std::size_t(level), '#');
    std::string name = oneLine(book.title.empty() ? book.file : book.title);
    if (!book.author.empty())
        name += " — " + oneLine(book.author);
    out += heading + " " + name + "\n\n";
    if (book.problem)
        out += "*The book could not be read (" + oneLine(*book.problem)
            + "): its highlights are listed as they were kept.*\n\n";
    if (book.highlights.empty()) {
        out += "No highlights.\n\n";
        return;
    }
    std::vector<const PlacedHighlight*> stale;
    std::optional<std::string> chapter;
    for (const auto& item : book.highlights) {
        if (!item.matchesText || book.problem) {
            stale.push_back(&item);
            continue;
        }
        if (item.chapter != chapter) {
            if (!item.chapter.empty())
                out += heading + "# " + oneLine(item.chapter) + "\n\n";
            chapter = item.chapter;
        }
        appendQuote(out, item, false);
    }
    if (stale.empty())
        return;
    out += heading + "# No longer matching the book's text\n\n";
    if (!book.problem)
        out += "The book's text at these places differs from what was highlighted: the book may "
               "have been replaced by another edition.\n\n";
    for (const auto* item : stale)
        appendQuote(out, *item, true);
}

}

std::string markdownText(std::string_view text)
{
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (start > 0)
            out += '\n';
        out += escapedLine(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string bookHighlightsMarkdown(const BookHighlights& book)
{
    std::string out;
    appendBook(out, book, 1);
    while (out.size() > 1 && out.ends_with("\n\n"))
        out.pop_back();
    return out;
}

std::string libraryHighlightsMarkdown(const std::vector<BookHighlights>& books)
{
    std::string out = "# Highlights\n\n";
    if (books.empty())
        out += "No book has highlights yet.\n\n";
    for (const auto& book : books)
        appendBook(out, book, 2);
    while (out.size() > 1 && out.ends_with("\n\n"))
        out.pop_back();
    return out;
}

std::string highlightsFileName(std::string_view title)
{
    std::string name;
    for (std::size_t at = 0; at < title.size(); ++at) {
        char c = title[at];
        bool forbidden = isControl(title, at)
            || std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        if (forbidden && static_cast<unsigned char>(c) == 0xC2)
            ++at;
        c = forbidden ? ' ' : c;
        if (c == ' ' && (name.empty() || name.back() == ' '))
            continue;
        name += c;
    }
    if (name.size() > longestFileTitle) {
        std::size_t cut = longestFileTitle;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    // A name that starts with a dot is hidden; one that ends with dots or spaces loses them on
    // some systems.
    while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        name.pop_back();
    while (!name.empty() && (name.front() == '.' || name.front() == ' '))
        name.erase(0, 1);
    return name.empty() ? "Highlights.md" : name + " highlights.md";
}

}
