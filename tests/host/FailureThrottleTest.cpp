// The slowing of an address that keeps failing, and only of that address, for a while.
#include "platform/host/server/FailureThrottle.h"

#include <gtest/gtest.h>

namespace {

TEST(FailureThrottle, slowsAnAddressAfterTenFailuresInAMinuteOnly)
{
    using namespace std::chrono_literals;
    const auto start = host::FailureThrottle::Clock::time_point {};
    struct Case {
        int failures;
        std::chrono::seconds spread; // between the first and the last failure
        std::chrono::seconds askedAfter; // after the last failure
        std::chrono::seconds delay;
    };
    const std::vector<Case> cases {
        { 9, 0s, 0s, 0s },
        { 10, 0s, 0s, 1s },
        { 10, 50s, 5s, 1s },
        { 10, 50s, 15s, 0s }, // the first failures left the minute
        { 30, 0s, 59s, 1s },
        { 30, 0s, 61s, 0s },
    };
    for (auto& each : cases) {
        host::FailureThrottle throttle;
        for (int failure = 0; failure < each.failures; ++failure)
            throttle.recordFailure(
                "192.0.2.9", start + (failure + 1 == each.failures ? each.spread : 0s));
        auto asked = start + each.spread + each.askedAfter;
        EXPECT_EQ(throttle.delayFor("192.0.2.9", asked), each.delay)
            << each.failures << " failures, " << each.askedAfter.count();
        EXPECT_EQ(throttle.delayFor("192.0.2.10", asked), 0s);
    }
}

}
