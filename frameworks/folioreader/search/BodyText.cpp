// Keeping a stretch of a page's body text, and the excerpts a match is shown with.
#include "frameworks/folioreader/search/BodyText.h"

#include <algorithm>
#include <array>

namespace folioreader {

namespace {

// A stretch is read in runs this short, so that reading a little past a match reads no further.
constexpr std::size_t stretchRun = 64;

void appendUtf8(std::string& into, char32_t c)
{
    std::array<utf8proc_uint8_t, 4> bytes {};
    auto length = utf8proc_encode_char(utf8proc_int32_t(c), bytes.data());
    into.append(reinterpret_cast<const char*>(bytes.data()), std::size_t(length));
}

}

void BodyText::restart(const BodyPlace& place)
{
    start = place;
    m_reading = place;
    characters.clear();
    folded.text.clear();
    folded.origin.clear();
    m_astral.clear();
    m_breaks.clear();
    m_unread.clear();
}

bool BodyText::readPiece(std::string_view xhtml)
{
    return readBodyPiece(xhtml, m_reading, *this, stretchRun, hidden);
}

void BodyText::readThrough(std::string_view xhtml, std::size_t last)
{
    while (characters.size() <= last && readPiece(xhtml)) { }
}

void BodyText::ascii(std::string_view run, const BodyPlace& place, bool matched)
{
    auto first = place.character - start.character;
    characters.insert(characters.end(), reinterpret_cast<const unsigned char*>(run.data()),
        reinterpret_cast<const unsigned char*>(run.data()) + run.size());
    if (matched)
        folded.addAscii(run, first);
    else
        addUnread(first, first + std::uint32_t(run.size()));
}

void BodyText::character(char32_t c, const BodyPlace& place, bool matched)
{
    auto index = place.character - start.character;
    characters.push_back(c);
    if (c > 0xFFFF)
        m_astral.push_back(index);
    if (matched)
        folded.add(c, index);
    else
        addUnread(index, index + 1);
}

void BodyText::addUnread(std::uint32_t first, std::uint32_t end)
{
    if (!m_unread.empty() && m_unread.back().second == first)
        m_unread.back().second = end;
    else
        m_unread.emplace_back(first, end);
}

void BodyText::blockBreak(std::uint32_t character)
{
    // Words of two paragraphs are two words, though no character of the text parts them.
    m_breaks.push_back(character - start.character);
    folded.add(U' ', character - start.character);
}

std::uint64_t BodyText::utf16At(std::size_t index) const
{
    return index
        + std::size_t(std::lower_bound(m_astral.begin(), m_astral.end(), std::uint32_t(index))
            - m_astral.begin());
}

bool BodyText::partsAt(std::size_t index) const
{
    return (index < characters.size() && isSearchSpace(characters[index]))
        || (index > 0 && isSearchSpace(characters[index - 1]))
        || std::binary_search(m_breaks.begin(), m_breaks.end(), std::uint32_t(index));
}

std::string BodyText::excerpt(std::size_t from, std::size_t to) const
{
    auto nextBreak = std::lower_bound(m_breaks.begin(), m_breaks.end(), std::uint32_t(from));
    auto nextUnread = std::lower_bound(m_unread.begin(), m_unread.end(),
        std::pair(std::uint32_t(from), std::uint32_t(0)),
        [](const auto& stretch, const auto& key) { return stretch.second <= key.first; });
    std::string text;
    bool space = false;
    for (std::size_t i = from; i < to; ++i) {
        for (; nextBreak != m_breaks.end() && *nextBreak <= i; ++nextBreak)
            space = true;
        for (; nextUnread != m_unread.end() && nextUnread->second <= i; ++nextUnread) { }
        if (nextUnread != m_unread.end() && nextUnread->first <= i) {
            i = nextUnread->second - 1;
            continue;
        }
        if (isSearchSpace(characters[i])) {
            space = true;
            continue;
        }
        if (space && !text.empty())
            text.push_back(' ');
        space = false;
        appendUtf8(text, characters[i]);
    }
    return text;
}

}
