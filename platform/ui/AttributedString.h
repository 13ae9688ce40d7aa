// AttributedString: text in runs, each with its font, colour and paragraph alignment. Line
// breaks are "\n" in a run's text.
#pragma once

#include "platform/ui/Color.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

struct TextAttributes {
    std::shared_ptr<Font> font; // nothing: the platform's default text face
    std::optional<Color> foregroundColor; // nothing: the default text colour
    TextAlignment alignment = TextAlignment::natural;

    bool operator==(const TextAttributes& other) const;
};

struct TextRun {
    std::string text;
    TextAttributes attributes;
};

class AttributedString {
public:
    AttributedString() = default;
    AttributedString(std::string text, TextAttributes attributes);

    // Appends the text; it joins the last run when its attributes are the same.
    void append(std::string text, const TextAttributes& attributes);

    const std::vector<TextRun>& runs() const { return m_runs; }
    // The plain text of all runs.
    std::string string() const;
    bool empty() const { return m_runs.empty(); }

private:
    std::vector<TextRun> m_runs;
};

}
