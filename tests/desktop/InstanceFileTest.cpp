// The instance file: private, one per library, replaced when stale, removed by its own instance
// only; and the handoff that finds an instance through it and streams a book to it.
#include "tests/host/HostedApp.h"

#include "app/BookFiles.h"
#include "platform/desktop/HandoffClient.h"
#include "platform/desktop/InstanceFile.h"
#include "tests/support/TemporaryFolder.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

unsigned modeOf(const std::string& path)
{
    struct stat status { };
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 0777;
}

// Points the runtime folder at a fresh temporary folder for the test, and back afterwards.
class InstanceFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
            m_saved = runtime;
        ::setenv("XDG_RUNTIME_DIR", m_runtime.path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_saved)
            ::setenv("XDG_RUNTIME_DIR", m_saved->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }

    desktop::InstanceRecord recordFor(
        const std::string& documents, int port, const std::string& token)
    {
        return { "http://127.0.0.1:" + std::to_string(port), token,
            desktop::normalizedDocumentsFolder(documents), ::getpid() };
    }

    fixtures::TemporaryFolder m_runtime;
    fixtures::TemporaryFolder m_library;
    std::optional<std::string> m_saved;
};

TEST_F(InstanceFileTest, isPrivateOnePerLibraryAndGoneWithItsInstance)
{
    const std::string path = desktop::InstanceFile::pathFor(m_library.path());
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(m_runtime.path()) / "pagewyn");
    EXPECT_EQ(desktop::InstanceFile::pathFor(m_library.path() + "/"), path);
    EXPECT_EQ(desktop::InstanceFile::pathFor(m_library.path() + "/sub/.."), path);
    EXPECT_NE(desktop::InstanceFile::pathFor(m_library.file("other")), path);
    {
        auto published
            = desktop::InstanceFile::publish(recordFor(m_library.path(), 8080, "secret"), path);
        ASSERT_TRUE(published) << published.error().description();
        EXPECT_EQ(modeOf(path), 0600u);
        EXPECT_EQ(modeOf(fs::path(path).parent_path()), 0700u);
        auto read = desktop::InstanceFile::read(path);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->origin, "http://127.0.0.1:8080");
        EXPECT_EQ(read->token, "secret");
        EXPECT_EQ(read->documents, desktop::normalizedDocumentsFolder(m_library.path()));
        EXPECT_EQ(read->pid, ::getpid());
    }
    EXPECT_FALSE(fs::exists(path));
}

// A process that has ended: its id names no one (until the system hands it out again).
pid_t endedProcess()
{
    pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST_F(InstanceFileTest, aStaleFileLeadsNoBytesToWhoeverTookItsPortAndIsReplaced)
{
    // A stranger listens on the port of an instance that was killed, then of one whose process
    // lives but does not listen there.
    int stranger = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(stranger, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(stranger, 8), 0);
    ::getsockname(stranger, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);

    const std::string path = desktop::InstanceFile::pathFor(m_library.path());
    for (pid_t named : { endedProcess(), ::getppid() }) {
        auto stale = recordFor(m_library.path(), port, "stale");
        stale.pid = named;
        auto left = desktop::InstanceFile::publish(stale, path);
        ASSERT_TRUE(left);
        EXPECT_FALSE(desktop::findRunningInstance(m_library.path())) << named;
        EXPECT_LT(::accept(stranger, nullptr, nullptr), 0) << "the stranger was reached";
        EXPECT_EQ(fs::exists(path), named == ::getppid())
            << "only the file of an ended process is removed";
    }
    ::close(stranger);

    auto fresh = desktop::InstanceFile::publish(recordFor(m_library.path(), 9090, "fresh"), path);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(desktop::InstanceFile::read(path)->token, "fresh");
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST_F(InstanceFileTest, anInstanceLeavesTheFileOfTheOneThatReplacedIt)
{
    const std::string path = desktop::InstanceFile::pathFor(m_library.path());
    {
        auto published
            = desktop::InstanceFile::publish(recordFor(m_library.path(), 1111, "first"), path);
        ASSERT_TRUE(published);
        std::optional<desktop::InstanceFile> first(std::move(*published));
        auto second
            = desktop::InstanceFile::publish(recordFor(m_library.path(), 2222, "second"), path);
        ASSERT_TRUE(second);
        first.reset();
        ASSERT_TRUE(fs::exists(path));
        EXPECT_EQ(desktop::InstanceFile::read(path)->token, "second");
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(InstanceFileTest, filesThatAreNotInstanceFilesFindNothing)
{
    const std::string path = desktop::InstanceFile::pathFor(m_library.path());
    fs::create_directories(fs::path(path).parent_path());
    for (const char* text : { "", "not json", "[]", "{\"origin\":\"ftp://x\",\"token\":\"t\"}",
             "{\"origin\":\"http://127.0.0.1:1\"}" }) {
        FILE* file = std::fopen(path.c_str(), "w");
        std::fputs(text, file);
        std::fclose(file);
        EXPECT_FALSE(desktop::InstanceFile::read(path)) << text;
        EXPECT_FALSE(desktop::findRunningInstance(m_library.path())) << text;
    }
}

TEST_F(InstanceFileTest, aHandoffFindsTheRunningInstanceOfItsLibraryAndStreamsTheBookToIt)
{
    fixtures::HostedApp hosted({ { "old.epub", "Old Book", "Ann", 1000 } });
    const std::string documents = hosted.app().library().path();
    auto published = desktop::InstanceFile::publish(
        recordFor(documents, hosted.host().port(), hosted.host().token()),
        desktop::InstanceFile::pathFor(documents));
    ASSERT_TRUE(published);

    // Another library's instance file does not lead here.
    EXPECT_FALSE(desktop::findRunningInstance(m_library.path()));
    auto instance = desktop::findRunningInstance(documents);
    ASSERT_TRUE(instance);

    fixtures::EpubFixture book;
    book.title = "Given";
    book.author = "Giver";
    book.writeZipped(m_library.file("Given.epub"));
    auto delivered = std::async(std::launch::async, [&] {
        return desktop::handOver(*instance, m_library.file("Given.epub"), bookFiles, false);
    });
    while (delivered.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        ui::MainLoop::main().runPending();
    auto result = delivered.get();
    ASSERT_TRUE(result) << result.error().description();
    EXPECT_EQ(fixtures::snapshotRows(hosted.state()).at(0), "Given, Giver");
    EXPECT_TRUE(fs::is_regular_file(m_library.file("Given.epub")))
        << "the source stays where it was";

    // A wrong token is told apart from a running Pagewyn.
    auto impostor = *instance;
    impostor.token = std::string(64, '0');
    EXPECT_FALSE(desktop::askInstance(impostor));
}

// Whatever a program at an instance's address answers of itself, the command that asks gets a
// status or an error, never an end: only a boolean "ready" says it is ready.
TEST_F(InstanceFileTest, whateverTheInstanceSaysOfItselfIsAStatusOrAnError)
{
    struct Answer {
        const char* body;
        bool status;
        bool ready;
    };
    const Answer answers[] = {
        { R"({"documents":"/books","ready":true})", true, true },
        { R"({"documents":"/books","ready":"yes"})", true, false },
        { R"({"documents":"/books","ready":null,"pid":"12"})", true, false },
        { R"({"documents":5,"ready":true})", false, false },
        { R"([1,2])", false, false },
        { "not json", false, false },
    };
    std::string body;
    httplib::Server server;
    server.Get("/instance", [&body](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/json");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&server] { server.listen_after_bind(); });
    for (const Answer& answer : answers) {
        SCOPED_TRACE(answer.body);
        body = answer.body;
        auto status = desktop::askInstance(recordFor(m_library.path(), port, "token"));
        ASSERT_EQ(bool(status), answer.status);
        if (status) {
            EXPECT_EQ(status->ready, answer.ready);
        }
    }
    server.stop();
    serving.join();
}

}
