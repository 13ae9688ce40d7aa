// HostedApp: the application launched for a test (as LaunchedApp does) with its host serving on
// a free loopback port, and an HTTP client for it. The test thread is the main loop: each
// request goes out on another thread while the test thread runs the loop's tasks, as the
// program's main thread does.
//
//     fixtures::HostedApp hosted({ { "a.epub", "Alpha", "Ann", 1000 } });
//     auto state = hosted.state();
//     EXPECT_EQ(state["screen"]["table"]["rowCount"], 1);
#pragma once

#include "platform/host/server/Host.h"
#include "tests/support/LaunchedApp.h"
#include "tests/support/TemporaryFolder.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace fixtures {

class HostedApp {
public:
    struct Answer {
        int status = 0; // 0: no answer at all
        std::string body;
        httplib::Headers headers;
        nlohmann::json json() const { return nlohmann::json::parse(body, nullptr, false); }
        std::string header(const std::string& name) const;
    };

    // Launches on the books; the host serves the application unless ready is false, in which case
    // it answers as while the application starts. Without a secret store named in the options,
    // one of its own in a temporary folder: never the user's.
    explicit HostedApp(
        const std::vector<BookFile>& books = {}, bool ready = true, host::HostOptions options = {});
    ~HostedApp();

    LaunchedApp& app() { return *m_app; }
    host::Host& host() { return m_host; }
    // "127.0.0.1:PORT", as a browser names the host.
    std::string hostName() const;
    // The header a page that opened the printed address sends.
    httplib::Headers page() const;

    Answer get(const std::string& path, const httplib::Headers& headers);
    Answer get(const std::string& path) { return get(path, page()); }
    Answer post(const std::string& path, const std::string& body, const httplib::Headers& headers,
        const std::string& contentType = "application/json");
    Answer request(const std::string& method, const std::string& path,
        const httplib::Headers& headers, const std::string& body = {},
        const std::string& contentType = {});

    // GET /state with the query, as JSON; fails the test on anything but 200.
    nlohmann::json state(const std::string& query = "first=0&count=20&width=375&height=667");
    // POST /event with the event; the state's current version is added unless the event has one.
    Answer event(nlohmann::json event);
    // The id of the header button named by its icon, as the page finds it.
    std::uint64_t headerButtonId(const std::string& name);

private:
    template <typename Request> Answer whilePumping(Request request);

    std::unique_ptr<LaunchedApp> m_app;
    TemporaryFolder m_config;
    host::Host m_host;
};

// A plain connection to the host on loopback, or -1: for requests no HTTP client would send.
// A receive buffer, when given, is set before connecting (a reader that takes little at a time);
// a loopback address to connect from (127.0.0.N), another client on the network.
int connectedTo(int port, int receiveBuffer = 0, const char* from = nullptr);
// Sends the bytes as they are and answers what came back until the host closed the connection
// (empty when nothing did), while the test thread runs the main loop.
std::string rawExchange(int port, const std::string& bytes);

// Title and author of the rows of a snapshot, "title / author", in row order.
std::vector<std::string> snapshotRows(const nlohmann::json& state);
// The header title of a snapshot.
std::string snapshotTitle(const nlohmann::json& state);
// The ids of the images a view and its subviews show, depth first.
std::vector<std::string> imageIds(const nlohmann::json& view);

}
