// Bad, stale and broken requests: each gets a clear 4xx and leaves the library as it was, and the
// host goes on serving.
#include "tests/host/HostedApp.h"

#include "library/BookList.h"
#include "platform/ui/MainLoop.h"

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using fixtures::connectedTo;

const std::vector<fixtures::BookFile> threeBooks {
    { "c.epub", "Gamma", "Cy", 3000 },
    { "b.epub", "Beta", "Bob", 2000 },
    { "a.epub", "Alpha", "Ann", 1000 },
};

void expectLibraryAsItWas(fixtures::HostedApp& hosted)
{
    auto state = hosted.state();
    EXPECT_EQ(fixtures::snapshotTitle(state), "Recently Opened");
    EXPECT_EQ(fixtures::snapshotRows(state),
        (std::vector<std::string> { "Gamma, Cy", "Beta, Bob", "Alpha, Ann" }));
    for (auto* name : { "a.epub", "b.epub", "c.epub" })
        EXPECT_TRUE(std::filesystem::exists(hosted.app().library().itemPath(name))) << name;
}

// Whether the other end closed the connection (or reset it).
bool closedByPeer(int sock)
{
    pollfd watched { sock, POLLIN, 0 };
    if (::poll(&watched, 1, 0) <= 0)
        return false;
    char byte;
    return ::recv(sock, &byte, 1, MSG_DONTWAIT) <= 0;
}

TEST(HostReliability, aMalformedEventIsABadRequestAndChangesNothing)
{
    fixtures::HostedApp hosted(threeBooks);
    auto version = std::to_string(hosted.host().state().version());
    const std::vector<std::string> bodies {
        "",
        "not json",
        "{\"type\":\"deleteRow\",\"row\":0",
        "[\"deleteRow\", 0]",
        "{\"row\":0,\"version\":" + version + "}",
        "{\"type\":\"formatDisk\",\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"row\":\"0\",\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"row\":-1,\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"row\":0.5,\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"row\":0,\"section\":-1,\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"row\":18446744073709551615,\"version\":" + version + "}",
        "{\"type\":\"deleteRow\",\"row\":0}",
        "{\"type\":\"deleteRow\",\"row\":0,\"version\":\"" + version + "\"}",
        "{\"type\":\"deleteRow\",\"row\":0,\"version\":" + version
            + ",\"viewport\":{\"width\":-5}}",
        "{\"type\":\"deleteRow\",\"row\":0,\"version\":" + version
            + ",\"viewport\":{\"count\":5000}}",
        "{\"type\":\"deleteRow\",\"row\":0,\"version\":" + version + ",\"viewport\":[]}",
        "{\"type\":\"tapIndexTitle\",\"title\":7,\"version\":" + version + "}",
        "{\"type\":\"tapIndexTitle\",\"title\":\"" + std::string(100, 'A')
            + "\",\"version\":" + version + "}",
        "{\"type\":\"touchUpInside\",\"version\":" + version + "}",
    };
    for (auto& body : bodies) {
        auto answer = hosted.post("/event", body, hosted.page());
        EXPECT_EQ(answer.status, 400) << body;
        EXPECT_FALSE(answer.json().value("error", "").empty()) << body;
    }
    expectLibraryAsItWas(hosted);
}

TEST(HostReliability, anEventNamingWhatTheScreenDoesNotShowIsRefusedWithTheCurrentState)
{
    fixtures::HostedApp hosted(threeBooks);
    const std::vector<nlohmann::json> events {
        { { "type", "deleteRow" }, { "row", 3 } },
        { { "type", "deleteRow" }, { "row", 0 }, { "section", 1 } },
        { { "type", "tapRow" }, { "row", 99 } },
        { { "type", "touchUpInside" }, { "view", 999999 } },
        // The table itself is a view, but no control.
        { { "type", "touchUpInside" }, { "view", hosted.state()["screen"]["table"]["id"] } },
        // The recency order has no index.
        { { "type", "tapIndexTitle" }, { "title", "A" } },
    };
    for (auto& event : events) {
        auto answer = hosted.event(event);
        EXPECT_EQ(answer.status, 422) << event.dump();
        EXPECT_EQ(answer.json()["state"]["screen"]["table"]["rowCount"], 3) << event.dump();
    }
    expectLibraryAsItWas(hosted);
}

TEST(HostReliability, anEventFromAPageDrawnBeforeTheLastChangeIsRefused)
{
    fixtures::HostedApp hosted(threeBooks);
    auto seen = hosted.host().state().version();
    // Another page sorts: row 0 is now another book than the one this page shows there.
    ASSERT_EQ(
        hosted.event({ { "type", "touchUpInside" }, { "view", hosted.headerButtonId("sort") } })
            .status,
        200);
    auto answer = hosted.event({ { "type", "deleteRow" }, { "row", 0 }, { "version", seen } });
    EXPECT_EQ(answer.status, 409);
    EXPECT_EQ(fixtures::snapshotTitle(answer.json()["state"]), "Books by Title");
    for (auto* name : { "a.epub", "b.epub", "c.epub" })
        EXPECT_TRUE(std::filesystem::exists(hosted.app().library().itemPath(name))) << name;
}

TEST(HostReliability, aTapFromAPageDrawnBeforeTheLastChangeCountsWhenItsRowShowsTheSameBook)
{
    fixtures::HostedApp hosted(threeBooks);
    auto seen = hosted.host().state().version();
    // The search typed on keeps every book where it was.
    ASSERT_EQ(hosted.event({ { "type", "search" }, { "text", "a" } }).status, 200);
    auto elsewhere = hosted.event(
        { { "type", "tapRow" }, { "row", 0 }, { "label", "Beta, Bob" }, { "version", seen } });
    EXPECT_EQ(elsewhere.status, 409) << "row 0 shows another book now";
    auto same = hosted.event(
        { { "type", "tapRow" }, { "row", 0 }, { "label", "Gamma, Cy" }, { "version", seen } });
    ASSERT_EQ(same.status, 200) << same.body;
    EXPECT_TRUE(same.json()["presented"][0].contains("reader"));
}

TEST(HostReliability, aBadViewportIsABadRequest)
{
    fixtures::HostedApp hosted(threeBooks);
    for (auto* query : { "first=abc", "first=-1", "count=1001", "count=2.5", "width=0", "width=nan",
             "height=inf", "width=1e9", "first=" }) {
        auto answer = hosted.get(std::string("/state?") + query);
        EXPECT_EQ(answer.status, 400) << query;
    }
    EXPECT_EQ(hosted.get("/state?first=1&count=2&width=320.5&height=480").status, 200);
}

TEST(HostReliability,
    theReaderRoutesSayUnavailableWhileTheApplicationStopsAndNotFoundForAnUnknownBook)
{
    fixtures::HostedApp hosted(threeBooks);
    const std::string reader = "/reader/" + std::string(32, 'a');
    struct Case {
        bool stopping;
        int status;
    };
    for (auto [stopping, status] : { Case { false, 404 }, Case { true, 503 } }) {
        if (stopping)
            ui::MainLoop::main().stop();
        EXPECT_EQ(
            hosted.post(reader + "/search", R"({"query":"whale"})", hosted.page()).status, status)
            << stopping;
        EXPECT_EQ(hosted.post(reader + "/action", R"({"type":"highlights"})", hosted.page()).status,
            status)
            << stopping;
        EXPECT_EQ(hosted.get(reader + "/OEBPS/chapter.xhtml").status, status) << stopping;
    }
    ui::MainLoop::main().reset();
    expectLibraryAsItWas(hosted);
}

TEST(HostReliability, aSecondHostOnTheSamePortIsRefusedAndTheFirstAnswersEveryRequest)
{
    fixtures::HostedApp hosted(threeBooks);
    fixtures::TemporaryFolder secrets;
    host::HostOptions options;
    options.port = hosted.host().port();
    options.secretStorePath = secrets.file("secrets");
    host::Host second(options);
    auto started = second.start();
    ASSERT_FALSE(started);
    EXPECT_EQ(started.error().description(),
        "cannot listen on 127.0.0.1 port " + std::to_string(options.port) + ": it is in use");
    // Had both listened, the system would hand each connection to either, and the other's
    // token would be refused on some.
    for (int request = 0; request < 10; ++request)
        EXPECT_EQ(hosted.get("/state?first=0&count=1&width=375&height=667").status, 200) << request;
}

TEST(HostReliability, aPageThatGoesAwayMidRequestLeavesTheHostServing)
{
    fixtures::HostedApp hosted(threeBooks);
    for (int attempt = 0; attempt < 3; ++attempt) {
        int sock = connectedTo(hosted.host().port());
        ASSERT_GE(sock, 0);
        std::string request = "GET /state HTTP/1.1\r\nHost: " + hosted.hostName()
            + "\r\nX-Pagewyn-Token: " + hosted.host().token() + "\r\n\r\n";
        ASSERT_EQ(
            ::send(sock, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
        ::close(sock);
    }
    // Half a request, then nothing: the host's other workers answer meanwhile.
    int idle = connectedTo(hosted.host().port());
    ASSERT_GE(idle, 0);
    ::send(idle, "POST /event HTTP/1.1\r\n", 22, 0);
    expectLibraryAsItWas(hosted);
    ::close(idle);
}

TEST(HostReliability, connectionsThatTrickleTheirHeadsHoldUpNoPageAndAreClosed)
{
    // 200 connections, each sending a header line every quarter second and never the blank line
    // that ends the head; the test stops trickling after 8 s whatever happens.
    fixtures::HostedApp hosted(threeBooks);
    std::vector<int> slow;
    for (int index = 0; index < 200; ++index) {
        int sock = connectedTo(hosted.host().port());
        ASSERT_GE(sock, 0);
        ::send(sock, "GET /state HTTP/1.1\r\n", 21, MSG_NOSIGNAL);
        slow.push_back(sock);
    }
    std::atomic<bool> stop = false;
    std::vector<bool> closed(slow.size(), false);
    std::thread trickle([&] {
        for (int round = 0; round < 32 && !stop; ++round) {
            for (std::size_t index = 0; index < slow.size(); ++index) {
                if (!closed[index] && closedByPeer(slow[index]))
                    closed[index] = true;
                if (!closed[index])
                    ::send(slow[index], "X-Slow: 1\r\n", 11, MSG_NOSIGNAL);
            }
            if (std::count(closed.begin(), closed.end(), true) == std::ptrdiff_t(closed.size()))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    });
    // Meanwhile the page opens and reads the state as ever.
    auto page = hosted.get("/");
    EXPECT_EQ(page.status, 200);
    expectLibraryAsItWas(hosted);
    trickle.join();
    stop = true;
    // Every one of them was closed by the host: none waits for its head longer than a few seconds.
    EXPECT_EQ(std::count(closed.begin(), closed.end(), true), std::ptrdiff_t(closed.size()));
    for (int sock : slow)
        ::close(sock);
    expectLibraryAsItWas(hosted);
}

TEST(HostReliability, readersThatTakeNoBytesHoldUpNoPageAndAStopEndsThemAtOnce)
{
    // 100 connections without the token, each asking for a font twenty times in a row and
    // reading none of it: more than the host has workers.
    fixtures::HostedApp hosted(threeBooks);
    ASSERT_EQ(hosted.get("/fonts/Avenir-Light", {}).status, 200);
    std::string requests;
    for (int index = 0; index < 20; ++index)
        requests += "GET /fonts/Avenir-Light HTTP/1.1\r\nHost: " + hosted.hostName() + "\r\n\r\n";
    std::vector<int> readers;
    for (int index = 0; index < 100; ++index) {
        int sock = connectedTo(hosted.host().port(), 1024);
        ASSERT_GE(sock, 0);
        ::send(sock, requests.data(), requests.size(), MSG_NOSIGNAL);
        readers.push_back(sock);
    }
    // Meanwhile the page's requests, with the token, are answered within the client's timeout.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(hosted.get("/").status, 200);
        expectLibraryAsItWas(hosted);
    }
    // The answers being written end with the host: a stop waits for no reader.
    auto stopped = std::async(std::launch::async, [&] { hosted.host().stop(); });
    EXPECT_EQ(stopped.wait_for(std::chrono::seconds(1)), std::future_status::ready);
    stopped.wait();
    for (int sock : readers)
        ::close(sock);
}

}
