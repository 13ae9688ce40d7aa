// The change stream: a message for every newer version, a redraw for what changed by itself,
// comments to keep alive, a bounded number of streams, and an end on close.
#include "platform/host/server/EventStream.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(EventStream, aStreamHearsOfANewerVersionAndOfARedrawOnlyOnce)
{
    host::EventStream stream;
    auto told = stream.startingAt(3);
    stream.publish(4);
    EXPECT_EQ(
        stream.next(told, std::chrono::milliseconds(1)), host::EventStream::changedMessage(4));
    EXPECT_EQ(told.version, 4u);
    EXPECT_EQ(stream.next(told, std::chrono::milliseconds(1)), ": still here\n\n");
    stream.publish(2);
    EXPECT_EQ(stream.next(told, std::chrono::milliseconds(1)), ": still here\n\n");
    // Redraws since the last message are told once; a new version tells them with it.
    stream.redraw();
    stream.redraw();
    EXPECT_EQ(stream.next(told, std::chrono::milliseconds(1)), host::EventStream::redrawMessage);
    EXPECT_EQ(stream.next(told, std::chrono::milliseconds(1)), ": still here\n\n");
    stream.redraw();
    stream.publish(5);
    EXPECT_EQ(
        stream.next(told, std::chrono::milliseconds(1)), host::EventStream::changedMessage(5));
    EXPECT_EQ(stream.next(told, std::chrono::milliseconds(1)), ": still here\n\n");
}

TEST(EventStream, closingEndsAWaitingStreamAndRefusesNewOnes)
{
    host::EventStream stream;
    auto told = stream.startingAt(0);
    std::optional<std::string> piece = "unset";
    std::thread waiter([&] { piece = stream.next(told, std::chrono::minutes(5)); });
    ASSERT_TRUE(fixtures::waitUntil([&] { return stream.waitingStreams() == 1; }));
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
