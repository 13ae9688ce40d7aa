// Waits in a test until what it waits for has happened, or the bound has passed, and answers
// whether it happened: a wait for another thread that never hangs the suite.
//
//     ASSERT_TRUE(fixtures::waitUntil([&] { return loop.queuedTasks() == 1; }));
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace fixtures {

inline bool waitUntil(
    const std::function<bool()>& happened, std::chrono::seconds bound = std::chrono::seconds(10))
{
    for (auto until = std::chrono::steady_clock::now() + bound; !happened();) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}
