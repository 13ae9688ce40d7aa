// Reading short rich texts: the styles of the about box's message and the failures.
#include "platform/html/HTMLReader.h"

#include <gtest/gtest.h>

namespace {

const ui::TextRun* runContaining(const ui::AttributedString& text, const std::string& needle)
{
    for (const auto& run : text.runs()) {
        if (run.text.find(needle) != std::string::npos)
            return &run;
    }
    return nullptr;
}

TEST(HTMLReader, fontElementsSetSizeFaceAndColourInsideACentredBlock)
{
    auto text
        = html::attributedStringFromHTML("<center><br><font size=+2 color=black face=Arial>Big "
                                         "line</font><font size=+1 face=Arial><br><br>"
                                         "&copy; 2026 Us<br>Credit<br></font>");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "\nBig line\n\n\xC2\xA9 2026 Us\nCredit\n");
    auto* big = runContaining(*text, "Big line");
    auto* small = runContaining(*text, "2026");
    ASSERT_TRUE(big && small);
    EXPECT_EQ(big->attributes.font->fontName(), "Arial");
    EXPECT_DOUBLE_EQ(big->attributes.font->pointSize(), 18);
    EXPECT_DOUBLE_EQ(small->attributes.font->pointSize(), 13.5);
    EXPECT_EQ(big->attributes.foregroundColor, ui::Color::blackColor());
    for (const auto& run : text->runs())
        EXPECT_EQ(run.attributes.alignment, ui::TextAlignment::center) << run.text;
}

TEST(HTMLReader, whiteSpaceCollapsesAndBoldAndItalicNameTheFace)
{
    auto text = html::attributedStringFromHTML("  one \n\t two <b>bold</b> <i>it</i><p>para</p>");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "one two bold it\npara\n");
    EXPECT_EQ(runContaining(*text, "bold")->attributes.font->fontName(), "Times-Bold");
    EXPECT_EQ(runContaining(*text, "it")->attributes.font->fontName(), "Times-Italic");
    EXPECT_DOUBLE_EQ(runContaining(*text, "one")->attributes.font->pointSize(), 12);
}

TEST(HTMLReader, sizesAndColoursReadAsBrowsersDo)
{
    EXPECT_DOUBLE_EQ(*html::pointSizeOfFontSize("1"), 7.5);
    EXPECT_DOUBLE_EQ(*html::pointSizeOfFontSize("7"), 36);
    EXPECT_DOUBLE_EQ(*html::pointSizeOfFontSize("+9"), 36);
    EXPECT_DOUBLE_EQ(*html::pointSizeOfFontSize("-1"), 9.75);
    EXPECT_FALSE(html::pointSizeOfFontSize("big"));
    EXPECT_EQ(html::colorOfHTMLValue("#f00"), ui::Color::withRGBA(1, 0, 0, 1));
    EXPECT_EQ(html::colorOfHTMLValue("White"), ui::Color::whiteColor());
    EXPECT_FALSE(html::colorOfHTMLValue("#12345"));
}

TEST(HTMLReader, scriptsAndStylesAreNotText)
{
    auto text = html::attributedStringFromHTML("<style>p{}</style>a<script>alert(1)</script>b");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "ab");
}

TEST(HTMLReader, bytesThatAreNotUtf8AreAnError)
{
    auto text = html::attributedStringFromHTML("<b>caf\xE9</b>");
    ASSERT_FALSE(text);
    EXPECT_NE(text.error().description().find("UTF-8"), std::string::npos);
    EXPECT_FALSE(html::attributedStringFromHTML(std::string(2 * 1024 * 1024, 'a')));
}

// Found by fuzzing: a few kilobytes of nested elements overflowed the stack.
TEST(HTMLReader, deeplyNestedElementsKeepTheirTextWithoutOverflowingTheStack)
{
    std::string nested;
    for (int i = 0; i < 1000; ++i)
        nested += i % 2 ? "<i>" : "<font size=+1>";
    auto text = html::attributedStringFromHTML("<b>" + nested + "deep<br>er<script>x</script></b>");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "deep\ner");
    auto* deep = runContaining(*text, "deep");
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->attributes.font->fontName(), "Times-BoldItalic");
    EXPECT_DOUBLE_EQ(deep->attributes.font->pointSize(), 13.5);

    std::string endless;
    for (int i = 0; i < 100'000; ++i)
        endless += "<b>";
    auto refused = html::attributedStringFromHTML(endless);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().description().find("more elements"), std::string::npos);
}

}
