// Label: a line of text with its font, colour and alignment.
#pragma once

#include "platform/ui/Font.h"
#include "platform/ui/View.h"

namespace ui {

enum class TextAlignment { left = 0, center = 1, right = 2, justified = 3, natural = 4 };

class Label : public View {
public:
    Label();
    std::string className() const override { return "Label"; }

    const std::string& text() const { return m_text; }
    void setText(std::string text) { m_text = std::move(text); }
    // Never empty: setting no font restores the system font of the label's size.
    const std::shared_ptr<Font>& font() const { return m_font; }
    void setFont(std::shared_ptr<Font> font);
    const Color& textColor() const { return m_textColor; }
    void setTextColor(Color color) { m_textColor = color; }
    TextAlignment textAlignment() const { return m_textAlignment; }
    void setTextAlignment(TextAlignment alignment) { m_textAlignment = alignment; }
    int numberOfLines() const { return m_numberOfLines; }
    void setNumberOfLines(int lines) { m_numberOfLines = lines < 0 ? 0 : lines; }

private:
    std::string m_text;
    std::shared_ptr<Font> m_font;
    Color m_textColor = Color::blackColor();
    TextAlignment m_textAlignment = TextAlignment::natural;
    int m_numberOfLines = 1;
};

}
