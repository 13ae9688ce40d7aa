// SHA-1 gives the standard's digests, across the lengths where the padding takes a second block.
#include "platform/foundation/sha1.h"
#include "platform/foundation/hexEncoded.h"

#include <gtest/gtest.h>

TEST(Sha1, matchesTheStandardDigests)
{
    struct Case {
        std::string text;
        const char* digest;
    };
    const Case cases[] = {
        { "", "da39a3ee5e6b4b0d3255bfef95601890afd80709" },
        { "abc", "a9993e364706816aba3e25717850c26c9cd0d89d" },
        { "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1" },
        { std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f" },
    };
    for (const auto& [text, digest] : cases) {
        auto bytes = foundation::sha1(text);
        EXPECT_EQ(foundation::hexEncoded(
                      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())),
            digest)
            << text.size();
    }
}
