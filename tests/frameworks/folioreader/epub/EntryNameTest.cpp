// resolveEntryName and resolveHref: every name the reader opens stays inside the book.
#include "frameworks/folioreader/epub/EntryName.h"

#include <gtest/gtest.h>

namespace {

using folioreader::resolveEntryName;
using folioreader::resolveHref;

struct NameCase {
    std::string folder;
    std::string relative;
    std::optional<std::string> expected;
};

TEST(EntryName, resolvesLexicallyInsideTheBook)
{
    const std::vector<NameCase> cases = {
        { "", "OEBPS/content.opf", "OEBPS/content.opf" },
        { "OEBPS", "images/a.png", "OEBPS/images/a.png" },
        { "OEBPS", "../images/a.png", "images/a.png" },
        { "OEBPS/text", "./../images//a.png", "OEBPS/images/a.png" },
        { "OEBPS", "/root.png", "root.png" },
        { "", "../outside.opf", std::nullopt },
        { "OEBPS", "../../outside.png", std::nullopt },
        { "OEBPS", "a/../../../x", std::nullopt },
        { "", "", std::nullopt },
        { "OEBPS", "..", std::nullopt },
        { "", ".", std::nullopt },
        { "", std::string("a\0b", 3), std::nullopt },
        { "OEBPS", "%20literal", "OEBPS/%20literal" },
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.folder + " + " + testCase.relative);
        EXPECT_EQ(resolveEntryName(testCase.folder, testCase.relative), testCase.expected);
    }
}

TEST(EntryName, decodesHrefsBeforeResolvingThem)
{
    const std::vector<NameCase> cases = {
        { "OEBPS", "my%20cover%20%C3%A9.png", "OEBPS/my cover \u00e9.png" },
        { "OEBPS", "cover.png#page", "OEBPS/cover.png" },
        { "OEBPS", "cover.png?v=2", "OEBPS/cover.png" },
        { "OEBPS", "100%25.png", "OEBPS/100%.png" },
        { "OEBPS", "bad%zz%4.png", "OEBPS/bad%zz%4.png" },
        { "OEBPS", "%2E%2E/%2e%2e/etc/passwd", std::nullopt },
        { "OEBPS", "..%2F..%2Fetc", std::nullopt },
        { "OEBPS", "a%00b.png", std::nullopt },
        { "OEBPS", "http://example.com/cover.png", std::nullopt },
        { "OEBPS", "file:///etc/passwd", std::nullopt },
        { "OEBPS", "#only-a-fragment", std::nullopt },
        { "OEBPS", "images/a:b.png", "OEBPS/images/a:b.png" },
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.folder + " + " + testCase.relative);
        EXPECT_EQ(resolveHref(testCase.folder, testCase.relative), testCase.expected);
    }
}

}
