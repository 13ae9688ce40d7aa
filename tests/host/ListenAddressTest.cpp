// Listen addresses and the Host header names a browser may use for them.
#include "platform/host/server/ListenAddress.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(ListenAddress, acceptsIpLiteralsAndLocalhostOnly)
{
    struct Case {
        std::string text;
        bool valid;
        bool loopback;
        bool wildcard;
        std::string publicHost;
    };
    const std::vector<Case> cases {
        { "127.0.0.1", true, true, false, "127.0.0.1" },
        { "localhost", true, true, false, "127.0.0.1" },
        { "127.0.0.2", true, true, false, "127.0.0.2" },
        { "::1", true, true, false, "[::1]" },
        { "0:0:0:0:0:0:0:1", true, true, false, "[::1]" },
        { "192.0.2.7", true, false, false, "192.0.2.7" },
        { "0.0.0.0", true, false, true, "" },
        { "::", true, false, true, "" },
        { "example.com", false, false, false, "" },
        { "127.0.0.1:80", false, false, false, "" },
        { "", false, false, false, "" },
        { "1.2.3", false, false, false, "" },
    };
    for (auto& each : cases) {
        auto address = host::ListenAddress::parse(each.text);
        ASSERT_EQ(static_cast<bool>(address), each.valid) << each.text;
        if (!address)
            continue;
        EXPECT_EQ(address->isLoopback(), each.loopback) << each.text;
        EXPECT_EQ(address->isWildcard(), each.wildcard) << each.text;
        if (!each.publicHost.empty()) {
            EXPECT_EQ(address->publicHost(), each.publicHost) << each.text;
        }
    }
}

TEST(ListenAddress, aWildcardIsOpenedLocallyOnLoopbackAndPrintedWithAnAddressOfThisMachine)
{
    auto any = *host::ListenAddress::parse("0.0.0.0");
    EXPECT_EQ(any.localHost(), "127.0.0.1");
    EXPECT_NE(any.publicHost(), "0.0.0.0");
    EXPECT_EQ(host::ListenAddress::parse("::")->localHost(), "[::1]");
}

TEST(ListenAddress, theHostHeaderMustNameTheAddressOrLoopbackWithThePort)
{
    auto accepted = host::ListenAddress::loopback().acceptedHosts(8080);
    const std::vector<std::pair<std::string, bool>> headers {
        { "127.0.0.1:8080", true },
        { "localhost:8080", true },
        { "LocalHost:8080", true },
        { "[::1]:8080", true },
        { "127.0.0.1:8081", false },
        { "127.0.0.1", false },
        { "0.0.0.0:8080", false },
        { "evil.example:8080", false },
        { "localhost.evil.example:8080", false },
        { "", false },
    };
    for (auto& [header, ok] : headers)
        EXPECT_EQ(host::hostHeaderAccepted(header, accepted), ok) << header;

    auto lan = host::ListenAddress::parse("192.0.2.7")->acceptedHosts(80);
    EXPECT_TRUE(host::hostHeaderAccepted("192.0.2.7", lan));
    EXPECT_TRUE(host::hostHeaderAccepted("192.0.2.7:80", lan));
    EXPECT_FALSE(host::hostHeaderAccepted("localhost:80", lan));
}

}

TEST(ListenAddress, listenTakesAnAddressWithOrWithoutItsPort)
{
    struct Case {
        std::string text;
        std::string bound; // empty: refused
        std::optional<int> port;
    };
    const std::vector<Case> cases {
        { "127.0.0.1", "127.0.0.1", std::nullopt },
        { "127.0.0.1:18765", "127.0.0.1", 18765 },
        { "localhost:80", "127.0.0.1", 80 },
        { "0.0.0.0:0", "0.0.0.0", 0 },
        { "::1", "::1", std::nullopt },
        { "[::1]:8080", "::1", 8080 },
        { "[::]", "::", std::nullopt },
        { "127.0.0.1:", "", std::nullopt },
        { ":8080", "", std::nullopt },
        { "127.0.0.1:65536", "", std::nullopt },
        { "127.0.0.1:-1", "", std::nullopt },
        { "127.0.0.1:80x", "", std::nullopt },
        { "[::1]8080", "", std::nullopt },
        { "[::1:8080", "", std::nullopt },
        { "[127.0.0.1]:80", "", std::nullopt },
        { "example.com:80", "", std::nullopt },
        { "", "", std::nullopt },
    };
    for (auto& each : cases) {
        auto parsed = host::ListenAddress::parseWithPort(each.text);
        ASSERT_EQ(static_cast<bool>(parsed), !each.bound.empty()) << each.text;
        if (!parsed) {
            EXPECT_NE(parsed.error().description().find("[IPv6]:PORT"), std::string::npos)
                << each.text;
            continue;
        }
        EXPECT_EQ(parsed->address.bindAddress(), each.bound) << each.text;
        EXPECT_EQ(parsed->port, each.port) << each.text;
    }
}
