// The background thread: work in the owner's order, a wake at a time asked for, and a stop that
// lets the piece under way end and runs no other.
#include "platform/foundation/BackgroundThread.h"
#include "tests/support/WaitUntil.h"

#include <deque>
#include <gtest/gtest.h>
#include <vector>

namespace {

// An owner whose queue is taken newest first, as the row covers are.
struct NewestFirst {
    std::deque<int> waiting;
    std::vector<int> done; // under the thread's lock
    std::atomic<bool> hold { false };
    foundation::BackgroundThread thread { 19, [this] { return next(); } };

    foundation::BackgroundThread::Next next()
    {
        if (waiting.empty())
            return {};
        int item = waiting.back();
        waiting.pop_back();
        return { [this, item] {
            while (hold && !thread.stopping())
                std::this_thread::yield();
            std::lock_guard lock(thread.mutex());
            done.push_back(item);
        } };
    }
    std::vector<int> doneSoFar()
    {
        std::lock_guard lock(thread.mutex());
        return done;
    }
};

TEST(BackgroundThread, runsTheOwnersOrderAndStopsBetweenPieces)
{
    NewestFirst owner;
    owner.hold = true;
    auto waiting = [&] {
        std::lock_guard lock(owner.thread.mutex());
        return owner.waiting.size();
    };
    owner.thread.post([&] { owner.waiting = { 1 }; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return waiting() == 0; }));
    // While 1 is under way, 2 and 3 wait: the newest is taken first.
    owner.thread.post([&] { owner.waiting.insert(owner.waiting.end(), { 2, 3 }); });
    owner.hold = false;
    ASSERT_TRUE(fixtures::waitUntil([&] { return owner.doneSoFar().size() == 3; }));
    EXPECT_EQ(owner.doneSoFar(), (std::vector<int> { 1, 3, 2 }));

    // A stop lets the piece under way end (it sees stopping()) and takes nothing more.
    owner.hold = true;
    owner.thread.post([&] { owner.waiting = { 5, 4 }; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return waiting() == 1; }));
    owner.thread.stop();
    EXPECT_EQ(owner.doneSoFar(), (std::vector<int> { 1, 3, 2, 4 }));
    EXPECT_FALSE(owner.thread.post([&] { owner.waiting.push_back(6); }));
    owner.thread.stop();
}

TEST(BackgroundThread, wakesAtTheTimeAskedWithoutBeingPosted)
{
    std::atomic<int> asked { 0 };
    std::atomic<bool> ran { false };
    auto start = foundation::BackgroundThread::Clock::now();
    foundation::BackgroundThread thread(19, [&]() -> foundation::BackgroundThread::Next {
        // Asked once at the start: come back in a moment; then the work.
        if (++asked == 1)
            return { {}, start + std::chrono::milliseconds(20) };
        if (ran)
            return {};
        return { [&] { ran = true; } };
    });
    EXPECT_TRUE(fixtures::waitUntil([&] { return ran.load(); }));
}

}
