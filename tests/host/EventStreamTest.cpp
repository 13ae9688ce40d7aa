// The change stream: a message for every newer version, comments to keep alive, a bounded
// number of streams, and an end on close.
#include "platform/host/server/EventStream.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(EventStream, aStreamHearsOfANewerVersionOnlyOnce)
{
    host::EventStream stream;
    std::uint64_t lastSent = 3;
    stream.publish(4);
    EXPECT_EQ(stream.next(lastSent, std::chrono::milliseconds(1)), host::EventStream::changedMessage(4));
    EXPECT_EQ(lastSent, 4u);
    EXPECT_EQ(stream.next(lastSent, std::chrono::milliseconds(1)), ": still here\n\n");
    stream.publish(2);
    EXPECT_EQ(stream.next(lastSent, std::chrono::milliseconds(1)), ": still here\n\n");
}

TEST(EventStream, closingEndsAWaitingStreamAndRefusesNewOnes)
{
    host::EventStream stream;
    std::uint64_t lastSent = 0;
    std::optional<std::string> piece = "unset";
    std::thread waiter([&] { piece = stream.next(lastSent, std::chrono::minutes(5)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stream.close();
    waiter.join();
    EXPECT_FALSE(piece);
    EXPECT_FALSE(stream.open());
}

TEST(EventStream, onlySoManyStreamsAreOpenAtOnce)
{
    host::EventStream stream;
    for (std::size_t n = 0; n < host::EventStream::maximumStreams; ++n)
        ASSERT_TRUE(stream.open());
    EXPECT_FALSE(stream.open());
    stream.release();
    EXPECT_TRUE(stream.open());
}

}
