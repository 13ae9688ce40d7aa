#include "platform/foundation/OrderedWork.h"

#include <atomic>
#include <gtest/gtest.h>

namespace {

using Work = foundation::OrderedWork<std::size_t>;

// Every shape hands every result once, in order, and never works further ahead than its window.
TEST(OrderedWork, everyShapeTakesEveryItemInOrderWithinItsWindow)
{
    const std::vector<Work::Shape> shapes {
        { .workers = 0 },
        { .workers = 1, .chunk = 1, .window = 1 },
        { .workers = 3, .chunk = 1, .window = 6 },
        { .workers = 3, .chunk = 4, .window = 16, .takerHelps = true },
        { .workers = 8, .chunk = 64, .window = 512, .takerHelps = true },
    };
    for (const auto& shape : shapes) {
        for (std::size_t count : { 0, 1, 5, 1000 }) {
            std::atomic<std::size_t> taken { 0 };
            std::atomic<bool> tooFarAhead { false };
            Work work(count, shape, [&](std::size_t index) {
                if (index >= taken.load() + std::max(shape.window, shape.chunk) + shape.chunk)
                    tooFarAhead = true;
                return index * index;
            });
            for (std::size_t index = 0; index < count; ++index) {
                ASSERT_EQ(work.take(index), index * index)
                    << shape.workers << " workers, " << count << " items";
                taken = index + 1;
            }
            EXPECT_FALSE(tooFarAhead) << shape.workers << " workers, " << count << " items";
        }
    }
}

// A taker that stops early leaves nobody waiting: the work ends with the object.
TEST(OrderedWork, aTakerThatStopsEarlyEndsTheWork)
{
    std::atomic<std::size_t> worked { 0 };
    {
        Work work(100000, { .workers = 4, .chunk = 8, .window = 32 }, [&](std::size_t index) {
            ++worked;
            return index;
        });
        EXPECT_EQ(work.take(0), 0u);
        work.cancel();
    }
    EXPECT_LE(worked.load(), 64u);
}

}
