// Row covers read apart: requests beyond what may wait are let go, and once the rest is read the
// rows in view are told to look again, so a row whose request was let go asks anew.
#include "frameworks/folioreader/metadata/CoverLoader.h"

#include "tests/support/RunMainLoop.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(CoverLoader, requestsLetGoAreAskedForAgainOnceTheRestIsRead)
{
    int read = 0;
    int lookedAgain = 0;
    {
        folioreader::CoverLoader loader(
            ui::MainLoop::main(),
            [&](const std::string&, const folioreader::CoverLoader::Cover&) { ++read; },
            [&] { ++lookedAgain; });
        // Books that are not there, each read at once as the blank cover, asked for far faster
        // than they are read: many are let go.
        for (std::size_t n = 0; n < folioreader::CoverLoader::mostWaiting * 30; ++n)
            loader.request("/nonexistent/book-" + std::to_string(n) + ".epub");
        fixtures::runMainLoopUntil([&] { return lookedAgain > 0; });
    }
    ui::MainLoop::main().runPending();
    EXPECT_GE(lookedAgain, 1);
    EXPECT_GE(read, int(folioreader::CoverLoader::mostWaiting));
}

}
