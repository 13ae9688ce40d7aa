// The main loop: tasks from other threads run on the main thread, their results come back, and a
// stopped loop answers its waiters instead of leaving them hanging.
#include "platform/ui/MainLoop.h"
#include "tests/support/WaitUntil.h"

#include <algorithm>
#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(MainLoop, tasksFromOtherThreadsRunOnTheMainThread)
{
    ui::MainLoop loop;
    loop.claimCurrentThread();
    auto mainThread = std::this_thread::get_id();
    std::vector<std::thread> workers;
    std::atomic<int> answered { 0 };
    for (int number = 0; number < 4; ++number) {
        workers.emplace_back([&, number] {
            auto result = loop.performAndWait(
                [&] { return std::this_thread::get_id() == mainThread ? number * 10 : -1; });
            if (result && *result == number * 10)
                ++answered;
        });
    }
    std::thread stopper([&] {
        while (answered < 4)
            std::this_thread::yield();
        loop.stop(3);
    });
    EXPECT_EQ(loop.run(), 3);
    for (auto& worker : workers)
        worker.join();
    stopper.join();
    EXPECT_EQ(answered, 4);
}

TEST(MainLoop, onTheMainThreadATaskRunsAtOnce)
{
    ui::MainLoop loop;
    loop.claimCurrentThread();
    auto result = loop.performAndWait([] { return 42; });
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, 42);
    EXPECT_TRUE(loop.performAndWait([] {}));
}

TEST(MainLoop, aStoppedLoopAnswersItsWaiters)
{
    ui::MainLoop loop;
    loop.claimCurrentThread();
    // A task queued before the stop is dropped and its waiter told; one asked for after is refused.
    foundation::Result<int> queued = foundation::Error("not yet");
    std::thread waiter([&] { queued = loop.performAndWait([] { return 1; }); });
    ASSERT_TRUE(fixtures::waitUntil([&] { return loop.queuedTasks() == 1; }));
    loop.stop();
    waiter.join();
    EXPECT_FALSE(queued);
    EXPECT_EQ(loop.queuedTasks(), 0u);
    auto late = std::async(std::launch::async, [&] {
        return loop.performAndWait([] { return 2; });
    }).get();
    EXPECT_FALSE(late);
    EXPECT_FALSE(loop.post([] {}));
    loop.reset();
    EXPECT_TRUE(loop.post([] {}));
    EXPECT_EQ(loop.runPending(), 1u);
}

TEST(MainLoop, whileWorkRunsElsewhereOnlyLooksAreAnswered)
{
    ui::MainLoop loop;
    loop.claimCurrentThread();
    std::vector<std::string> ran;
    std::promise<void> lookAnswered;
    bool changeRanDuringWork = true;
    std::thread page([&] {
        loop.post([&] { ran.push_back("change"); });
        (void)loop.performAndWait([&] { ran.push_back("look"); }, ui::TaskKind::look);
        lookAnswered.set_value();
    });
    // The work ends only once the look was answered: the main thread must not be stuck in it.
    int answer = loop.answerLooksWhile([&] {
        lookAnswered.get_future().wait();
        return 7;
    });
    changeRanDuringWork = std::find(ran.begin(), ran.end(), "change") != ran.end();
    page.join();
    EXPECT_EQ(answer, 7);
    EXPECT_FALSE(changeRanDuringWork) << "a change waits for the work";
    EXPECT_EQ(loop.runPending(), 1u);
    EXPECT_EQ(ran, (std::vector<std::string> { "look", "change" }));
}

}
