// Hexadecimal digits: high half first, and numbers most significant byte first.
#include "platform/foundation/hexEncoded.h"

#include <gtest/gtest.h>

TEST(HexEncoded, writesEachByteHighHalfFirst)
{
    using foundation::hexEncoded;
    using foundation::LetterCase;
    EXPECT_EQ(hexEncoded(std::string_view("\x00\x0f\xa5\xff", 4)), "000fa5ff");
    EXPECT_EQ(hexEncoded(std::string_view("\xab/", 2), LetterCase::upper), "AB2F");
    EXPECT_EQ(hexEncoded(std::uint64_t(0x0123456789abcdefull)), "0123456789abcdef");
    EXPECT_EQ(hexEncoded(std::uint64_t(10)), "000000000000000a");
}
