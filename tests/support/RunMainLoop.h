// Runs the program's main loop in a test until what it waits for has happened, or ten seconds
// have passed: work done on other threads is shown on the main loop, as the program does it.
//
//     fixtures::runMainLoopUntil([&] { return told > 0; });
//     EXPECT_GT(told, 0);
#pragma once

#include "platform/ui/MainLoop.h"
#include "tests/support/WaitUntil.h"

namespace fixtures {

inline void runMainLoopUntil(
    const std::function<bool()>& happened, std::chrono::seconds bound = std::chrono::seconds(10))
{
    waitUntil(
        [&] {
            ui::MainLoop::main().runPending();
            return happened();
        },
        bound);
}

}
