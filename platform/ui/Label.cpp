// Label defaults: the system font at 17 points, black, natural alignment, one line.
#include "platform/ui/Label.h"

namespace ui {

Label::Label()
    : m_font(Font::systemFontOfSize(17))
{
}

void Label::setFont(std::shared_ptr<Font> font)
{
    m_font = font ? std::move(font) : Font::systemFontOfSize(m_font ? m_font->pointSize() : 17);
}

}
