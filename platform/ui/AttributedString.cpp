// Building styled text run by run.
#include "platform/ui/AttributedString.h"

namespace ui {

bool TextAttributes::operator==(const TextAttributes& other) const
{
    bool sameFont = font == other.font
        || (font && other.font && font->fontName() == other.font->fontName()
            && font->pointSize() == other.font->pointSize());
    return sameFont && foregroundColor == other.foregroundColor && alignment == other.alignment;
}

AttributedString::AttributedString(std::string text, TextAttributes attributes)
{
    append(std::move(text), attributes);
}

void AttributedString::append(std::string text, const TextAttributes& attributes)
{
    if (text.empty())
        return;
    if (!m_runs.empty() && m_runs.back().attributes == attributes) {
        m_runs.back().text += text;
        return;
    }
    m_runs.push_back({ std::move(text), attributes });
}

std::string AttributedString::string() const
{
    std::string text;
    for (const auto& run : m_runs)
        text += run.text;
    return text;
}

}
