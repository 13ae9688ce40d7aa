// The inbox takes a whole body within its limit and nothing else: every refusal leaves no file,
// and the upload's folder goes with the inbox object.
#include "platform/host/uploads/UploadInbox.h"
#include "tests/host/HostedApp.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// A body in pieces of the given sizes; the connection breaks after `breakAfter` pieces.
host::UploadInbox::BodyReader body(
    const std::string& bytes, std::size_t piece, std::size_t breakAfter = SIZE_MAX)
{
    return [=](const host::UploadInbox::Receiver& receiver) {
        std::size_t sent = 0;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            if (sent++ == breakAfter)
                return false;
            if (!receiver(bytes.data() + at, std::min(piece, bytes.size() - at)))
                return false;
        }
        return true;
    };
}

TEST(UploadInbox, takesAWholeBodyWithinItsLimitAndNothingElse)
{
    const std::string bytes(1'000'000, 'x');
    struct Case {
        const char* what;
        std::optional<std::uintmax_t> declared;
        std::uintmax_t limit;
        std::size_t piece;
        std::size_t breakAfter;
        int status; // 0: taken
    } cases[] = {
        { "whole, declared", bytes.size(), bytes.size(), 4096, SIZE_MAX, 0 },
        { "whole, chunked, in pieces larger than the write buffer", std::nullopt, bytes.size(),
            300'000, SIZE_MAX, 0 },
        { "declared beyond the limit", bytes.size(), bytes.size() - 1, 4096, SIZE_MAX, 413 },
        { "chunked beyond the limit", std::nullopt, bytes.size() - 1, 4096, SIZE_MAX, 413 },
        { "connection broken half way", bytes.size(), bytes.size(), 4096, 100, 400 },
        { "ended before its declared length", bytes.size() + 10, bytes.size() + 10, 4096, SIZE_MAX,
            400 },
    };
    for (const auto& test : cases) {
        fixtures::TemporaryFolder folder;
        const std::string inboxFolder = folder.file("inbox");
        std::string uploadFolder;
        {
            auto inbox = host::UploadInbox::open(inboxFolder);
            ASSERT_TRUE(inbox) << inbox.error().description();
            uploadFolder = (*inbox)->folder();
            auto failure = (*inbox)->receive(
                "Book.epub", test.declared, test.limit, body(bytes, test.piece, test.breakAfter));
            if (test.status == 0) {
                ASSERT_FALSE(failure) << test.what << ": " << failure->description;
                EXPECT_EQ((*inbox)->file(), uploadFolder + "/Book.epub");
                EXPECT_EQ(fs::file_size((*inbox)->file()), bytes.size()) << test.what;
            } else {
                ASSERT_TRUE(failure) << test.what;
                EXPECT_EQ(failure->status, test.status) << test.what;
                EXPECT_TRUE(fs::is_empty(uploadFolder)) << test.what << ": nothing stays behind";
            }
            struct stat status { };
            ASSERT_EQ(::stat(inboxFolder.c_str(), &status), 0);
            EXPECT_EQ(status.st_mode & 0777, 0700u) << "the inbox is private";
        }
        EXPECT_FALSE(fs::exists(uploadFolder)) << test.what;
    }
}

// At the host's start and at every upload's.
TEST(UploadInbox, removesWhatUploadsOfEndedProgramsLeftAndKeepsTheRest)
{
    for (bool atStart : { true, false }) {
        fixtures::TemporaryFolder folder;
        const std::string inboxFolder = folder.file("inbox");
        fs::create_directories(inboxFolder);
        // No process has a number this high (pid_max is at most 2^22).
        const std::string abandoned = inboxFolder + "/upload-99999999-abcdef";
        const std::string running
            = inboxFolder + "/upload-" + std::to_string(::getpid()) + "-abcdef";
        const std::string other = inboxFolder + "/keep-me";
        for (auto& path : { abandoned, running, other })
            fs::create_directories(path);
        if (atStart) {
            host::HostOptions options;
            options.upload.inboxFolder = inboxFolder;
            fixtures::HostedApp hosted({}, true, options);
        } else {
            ASSERT_TRUE(host::UploadInbox::open(inboxFolder));
        }
        EXPECT_FALSE(fs::exists(abandoned)) << atStart;
        EXPECT_TRUE(fs::exists(running)) << atStart;
        EXPECT_TRUE(fs::exists(other)) << atStart;
    }
}

}
