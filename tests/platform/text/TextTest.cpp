// The text order and character tests that the sorts and the section index stand on, and the
// search folding that finding a book and finding in a book share.
#include "platform/text/Text.h"
#include "platform/text/SearchFold.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <utf8proc.h>

namespace {

const std::string eAcute = "\xC3\xA9"; // é, precomposed
const std::string eCombining = "e\xCC\x81"; // e + combining acute
const std::string flagFrance = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";

TEST(TextOrder, comparesScalarValuesWithoutCaseOrLocale)
{
    struct Case {
        std::string less, greater;
    };
    const Case cases[] = {
        { "Zola", "austen" }, // every upper-case ASCII letter before every lower-case one
        { "", "a" }, // the empty text comes first
        { "Bal", "Balzac" }, // a prefix comes before the longer text
        { "9", "A" }, // digits before letters
        { "z", eAcute }, // letters beyond Basic Latin after ASCII
        { "Z", "\xD0\x90" }, // Cyrillic А after Latin
        { "\xE4\xB8\x80",
            "\xF0\x9F\x98\x80" }, // CJK before emoji (BMP before astral, by scalar value)
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::compare(c.less, c.greater), std::strong_ordering::less)
            << c.less << " < " << c.greater;
        EXPECT_EQ(text::compare(c.greater, c.less), std::strong_ordering::greater)
            << c.greater << " > " << c.less;
    }
}

TEST(TextOrder, canonicallyEquivalentTextsAreEqual)
{
    EXPECT_EQ(text::compare("Caf" + eAcute, "Caf" + eCombining), std::strong_ordering::equal);
    EXPECT_TRUE(text::canonicallyEqual(eAcute + ".epub", eCombining + ".epub"));
    EXPECT_FALSE(text::canonicallyEqual("e", eAcute));
    // Decomposed text sorts where its composed form does, not by its first byte.
    EXPECT_EQ(text::compare(eCombining, "f"), std::strong_ordering::greater);
}

TEST(TextOrder, invalidUtf8ComparesByBytesWithoutFailing)
{
    const std::string broken = "ab\xFF";
    EXPECT_EQ(text::nfc(broken), broken);
    EXPECT_EQ(text::compare(broken, "ab"), std::strong_ordering::greater);
    EXPECT_TRUE(text::canonicallyEqual(broken, broken));
}

TEST(TextNormalisation, composesAndKnowsWhatIsAlreadyComposed)
{
    EXPECT_EQ(text::nfc(eCombining), eAcute);
    EXPECT_TRUE(text::isKnownNFC("Plain ASCII"));
    EXPECT_TRUE(text::isKnownNFC("Caf" + eAcute));
    EXPECT_FALSE(text::isKnownNFC(eCombining));
}

// The quick check lets text skip normalisation; it must never do so for text that normalisation
// would change, next to any neighbour.
TEST(TextNormalisation, quickCheckNeverPassesTextThatNormalisationChanges)
{
    auto encode = [](std::int32_t codePoint) {
        std::uint8_t bytes[4];
        auto length = utf8proc_encode_char(codePoint, bytes);
        return std::string(reinterpret_cast<char*>(bytes), static_cast<std::size_t>(length));
    };
    const std::string neighbours[]
        = { "a", "\xCC\x81", "\xEA\xB0\x80", "\xE1\x84\x80", "\xE0\xAC\x87" };
    int skipped = 0;
    for (std::int32_t codePoint = 0x80; codePoint < 0x30000; ++codePoint) {
        if (!utf8proc_codepoint_valid(codePoint) || (codePoint > 0xFFFF && codePoint < 0x1D000))
            continue;
        const std::string character = encode(codePoint);
        for (const auto& neighbour : neighbours) {
            for (const auto& sample : { neighbour + character, character + neighbour }) {
                if (text::isKnownNFC(sample)) {
                    ++skipped;
                    auto* composed
                        = utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(sample.c_str()));
                    std::string normalised = reinterpret_cast<char*>(composed);
                    std::free(composed);
                    ASSERT_EQ(normalised, sample) << std::hex << codePoint;
                }
            }
        }
    }
    EXPECT_GT(skipped, 50000) << "most scripts' letters are known to be composed";
}

TEST(Characters, firstCharacterIsOneGraphemeCluster)
{
    struct Case {
        std::string text, first;
    };
    const Case cases[] = {
        { "", "" }, { "apple", "a" }, { eCombining + "cole", eCombining },
        { flagFrance + " Paris", flagFrance },
        { "\xE5\xA4\xA7\xE5\x9C\xB0", "\xE5\xA4\xA7" }, // 大地
        { "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "\xD7\xA9" }, // שלום
        { "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB x", // woman technologist (ZWJ sequence)
            "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB" },
        { "\xFF"
          "abc",
            "\xFF" }, // a stray byte is one character
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::firstCharacter(c.text), c.first) << c.text;
}

TEST(Characters, prefixTestComparesWholeCharactersCanonically)
{
    EXPECT_TRUE(text::hasPrefix("apple", "a"));
    EXPECT_TRUE(text::hasPrefix("apple", "app"));
    EXPECT_TRUE(text::hasPrefix("apple", ""));
    EXPECT_FALSE(text::hasPrefix("apple", "A"));
    EXPECT_FALSE(text::hasPrefix("ap", "apple"));
    // "e" is a byte prefix of a decomposed "é" but not a character prefix of it.
    EXPECT_FALSE(text::hasPrefix(eCombining + "cole", "e"));
    EXPECT_TRUE(text::hasPrefix(eCombining + "cole", eAcute));
    EXPECT_TRUE(text::hasPrefix(eAcute + "cole", eCombining));
}

TEST(SearchFold, foldsCaseAccentsAndWidthInEveryScriptButKeepsWhatChangesAWord)
{
    struct Case {
        const char* text;
        const char* other;
        bool same;
    };
    const Case cases[] = {
        { "Résumé ÉCOLE", "resume ecole", true },
        { "cafe\xCC\x81", "café", true }, // decomposed accent
        { "Straße", "strasse", true }, // ß is ss
        { "ﬁne Ｆｕｌｌ", "fine full", true }, // ligature, full width
        { "Ĉapitro", "capitro", true },
        { "ΣΟΦΊΑ σοφία", "σοφια σοφια", true }, // final sigma, tonos
        { "Ёлка", "елка", true }, { "كَتَبَ", "كتب", true }, // Arabic vowel marks
        { "שָׁלוֹם", "שלום", true }, // Hebrew points
        { "İstanbul", "istanbul", true }, // Turkish dotted capital I
        { "Hatırası", "hatirasi", true }, // dotless ı found by i
        { "ｶﾞｲﾄﾞ", "ガイド", true }, // half-width katakana with its voicing marks
        { "ガイド", "カイト", false }, // voicing marks are no accents
        { "パン", "ハン", false }, { "こころ", "ココロ", false }, // hiragana is not katakana
        { "कि", "क", false }, // an Indic vowel sign is part of the word
        { "a\tb\x7F", "ab", true }, // control characters go
        { "\xFF", "\xEF\xBF\xBD", true }, // a byte that is no UTF-8 is U+FFFD
    };
    for (const auto& [textOf, other, same] : cases)
        EXPECT_EQ(text::searchFold(textOf) == text::searchFold(other), same)
            << textOf << " / " << other;
    EXPECT_EQ(text::searchFold("Ab"), "ab");
}

}
