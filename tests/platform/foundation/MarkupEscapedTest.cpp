// Text set into markup: what XML and HTML read as their own written as references, in text and in
// attribute values alike, and nothing else changed.
#include "platform/foundation/markupEscaped.h"
#include "platform/host/opds/XmlText.h"

#include <gtest/gtest.h>

TEST(MarkupEscaped, writesWhatMarkupWouldReadAsReferences)
{
    using foundation::LineBreaks;
    struct Case {
        std::string_view text;
        LineBreaks breaks;
        std::string escaped;
    };
    const Case cases[] = {
        { "Tom & Jerry <3", LineBreaks::kept, "Tom &amp; Jerry &lt;3" },
        { "a=\"b\" c='d' >", LineBreaks::kept, "a=&quot;b&quot; c=&apos;d&apos; &gt;" },
        { "&amp; stays text", LineBreaks::kept, "&amp;amp; stays text" },
        { "one\ttwo\nthree\r", LineBreaks::kept, "one\ttwo\nthree\r" },
        { "one\ttwo\nthree\r", LineBreaks::asReferences, "one&#9;two&#10;three&#13;" },
        { "café 吾輩 שלום 😀", LineBreaks::kept, "café 吾輩 שלום 😀" },
        { std::string_view("nul\0inside", 10), LineBreaks::kept, std::string("nul\0inside", 10) },
        { "", LineBreaks::asReferences, "" },
    };
    for (const auto& test : cases)
        EXPECT_EQ(foundation::markupEscaped(test.text, test.breaks), test.escaped) << test.text;
}

TEST(MarkupEscaped, xmlTextAlsoCleansWhatXmlCannotCarry)
{
    const std::pair<std::string_view, std::string> cases[] = {
        { "<a href=\"x\">&</a>", "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;" },
        { "bell\x07 and\x1f gone, tab\tkept", "bell and gone, tab&#9;kept" },
        { "bad \xff byte", "bad \xEF\xBF\xBD byte" },
        { "non\xEF\xBF\xBE"
          "character",
            "noncharacter" },
    };
    for (const auto& [text, xml] : cases)
        EXPECT_EQ(host::xmlText(text), xml) << text;
}
