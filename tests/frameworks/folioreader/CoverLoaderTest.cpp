// Row covers read apart: requests beyond what may wait are let go, and once the rest is read the
// rows in view are told to look again, so a row whose request was let go asks anew.
#include "frameworks/folioreader/CoverLoader.h"

#include <chrono>
#include <string>
#include <thread>
#include <gtest/gtest.h>

namespace {

TEST(CoverLoader, requestsLetGoAreAskedForAgainOnceTheRestIsRead)
{
    ui::MainLoop& loop = ui::MainLoop::main();
    int read = 0;
    int lookedAgain = 0;
    {
        folioreader::CoverLoader loader(loop, [&](const std::string&, const folioreader::CoverLoader::Cover&) { ++read; },
            [&] { ++lookedAgain; });
        // Books that are not there, each read at once as the blank cover, asked for far faster
        // than they are read: many are let go.
        for (std::size_t n = 0; n < folioreader::CoverLoader::mostWaiting * 30; ++n)
            loader.request("/nonexistent/book-" + std::to_string(n) + ".epub");
        for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             lookedAgain == 0 && std::chrono::steady_clock::now() < until;) {
            loop.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    loop.runPending();
    EXPECT_GE(lookedAgain, 1);
    EXPECT_GE(read, int(folioreader::CoverLoader::mostWaiting));
}

}
