// A tab-separated field comes back as it was, whatever control characters it holds, and a written
// field that no escaping could have made is refused.
#include "platform/foundation/escapedField.h"

#include <gtest/gtest.h>

TEST(EscapedField, comesBackAsItWasAndRefusesWhatNoEscapingMakes)
{
    using foundation::escapedField;
    using foundation::unescapedField;
    for (std::string field : { std::string("plain"), std::string("tab\tline\nreturn\r\\"),
             std::string("ctrl-\x01\x1b[31m\x7f", 10),
             std::string("C1 \xC2\x9B and stray \x9B, caf\xC3\xA9"), std::string("\0", 1) }) {
        EXPECT_EQ(escapedField(field).find_first_of(std::string("\t\n\r\x1b\x7f\0", 6)),
            std::string::npos)
            << field;
        EXPECT_EQ(unescapedField(escapedField(field)), field);
    }
    for (const char* written : { "trailing\\", "\\q", "\\x4", "\\xzz" })
        EXPECT_EQ(unescapedField(written), std::nullopt) << written;
}
