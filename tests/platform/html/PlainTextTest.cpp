// A book's description as plain text: what a reader sees of its markup, never a control character
// or broken UTF-8, and never longer than asked.
#include "platform/html/PlainText.h"

#include <gtest/gtest.h>

namespace {

TEST(PlainText, keepsTheWordsAReaderSeesAndNothingElse)
{
    const std::pair<std::string, std::string> cases[] {
        { "  <p>Un <b>roman</b>,\n\t  enfin.</p><p>Deux</p>  ", "Un roman, enfin. Deux" },
        { "line<br/>break<li>item</li><div class=\"a>b\">quoted</div>", "line break item quoted" },
        { "<!-- a <p> comment -->kept<script>var x = '<p>';</script><STYLE>p {}</style> too",
            "kept too" },
        { "Tom &amp; Jerry &lt;3 &quot;caf&eacute;&quot; &rsquo;&#233;&#xE9;&#150;&nbsp;&hellip;",
            "Tom & Jerry <3 \"café\" ’éé– …" },
        { "AT&T & co &unknown; &#0; &#xD800; &#99999999;",
            "AT&T & co &unknown; \xEF\xBF\xBD \xEF\xBF\xBD \xEF\xBF\xBD" },
        { "&alpha;&rarr;&thetasym;&Omega;&spades; &mdash;&euro;&apos;", "α→ϑΩ♠ —€'" },
        { "a < b, 1<2, x<y and <unclosed", "a < b, 1<2, x<y and <unclosed" },
        { "bell\x07, nul" + std::string(1, '\0')
                + "&#1;, shy&shy;, \xEF\xBF\xBE"
                  "end",
            "bell, nul, shy, end" },
        { "Latin-1 caf\xE9 and a lone surrogate \xED\xA0\x80.",
            "Latin-1 caf\xEF\xBF\xBD and a lone surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD." },
        { "<p> </p>&nbsp;<br>", "" },
    };
    for (const auto& [markup, text] : cases)
        EXPECT_EQ(html::plainText(markup, 1000), text) << markup;
}

TEST(PlainText, aLongTextIsCutAtACharacterAndSaysSo)
{
    const std::tuple<std::string, std::size_t, std::string> cases[] {
        { "abcdef", 6, "abcdef" },
        { "abcdefg", 6, "abcde…" },
        { "abcd efg", 6, "abcd…" },
        { "ééééééé<p>", 6, "ééééé…" },
        { "東京東京東京東京", 3, "東京…" },
        { "🙂🙂🙂", 2, "🙂…" },
        { "ab", 0, "" },
    };
    for (const auto& [markup, maximum, text] : cases)
        EXPECT_EQ(html::plainText(markup, maximum), text) << markup << " within " << maximum;

    // A megabyte of markup: the text stops at its bound, whole characters only.
    std::string huge;
    while (huge.size() < (1 << 20))
        huge += "<p>Ça <i>continue</i> encore,</p> ";
    auto text = html::plainText(huge, 1000);
    EXPECT_EQ(text.substr(0, 24), "Ça continue encore, Ça");
    EXPECT_EQ(text.substr(text.size() - 3), "…");
    std::size_t characters = 0;
    for (unsigned char byte : text)
        characters += (byte & 0xC0) != 0x80;
    EXPECT_EQ(characters, 1000u);
}

}
