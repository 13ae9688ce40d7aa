// Launching the application with its host for a test, and requests that keep the main loop going.
#include "tests/host/HostedApp.h"

#include "app/BookFiles.h"
#include "library/ProgramState.h"

#include <arpa/inet.h>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fixtures {

namespace {
HostedApp::Answer answerOf(const httplib::Result& result)
{
    if (!result)
        return {};
    return { result->status, result->body, result->headers };
}

// The first label under a view, depth first.
const nlohmann::json* firstText(const nlohmann::json& view)
{
    if (view.contains("text"))
        return &view["text"];
    if (!view.contains("subviews"))
        return nullptr;
    for (auto& subview : view["subviews"]) {
        if (auto* found = firstText(subview))
            return found;
    }
    return nullptr;
}
}

std::string HostedApp::Answer::header(const std::string& name) const
{
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}

HostedApp::HostedApp(const std::vector<BookFile>& books, bool ready, host::HostOptions options)
    : m_app(std::make_unique<LaunchedApp>(books))
    , m_host([&] {
        if (options.upload.kind.ending.empty())
            options.upload.kind = bookFiles;
        if (!options.sharedStateCount)
            options.sharedStateCount = programStateCount;
        if (options.secretStorePath.empty())
            options.secretStorePath = m_config.file("pagewyn/secrets");
        return std::move(options);
    }())
{
    auto started = m_host.start();
    if (!started)
        throw std::runtime_error("the host did not start: " + started.error().description());
    if (ready)
        m_host.state().applicationReady();
}

HostedApp::~HostedApp()
{
    m_host.stop();
    m_app.reset();
}

std::string HostedApp::hostName() const
{
    return "127.0.0.1:" + std::to_string(m_host.port());
}

httplib::Headers HostedApp::page() const
{
    return { { "X-Pagewyn-Token", m_host.token() } };
}

template <typename Request> HostedApp::Answer HostedApp::whilePumping(Request request)
{
    auto answer = std::async(std::launch::async, std::move(request));
    while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        ui::MainLoop::main().runPending();
    return answer.get();
}

HostedApp::Answer HostedApp::get(const std::string& path, const httplib::Headers& headers)
{
    return whilePumping([this, path, headers] {
        httplib::Client client("127.0.0.1", m_host.port());
        return answerOf(client.Get(path.c_str(), headers));
    });
}

HostedApp::Answer HostedApp::post(const std::string& path, const std::string& body,
    const httplib::Headers& headers, const std::string& contentType)
{
    return whilePumping([this, path, body, headers, contentType] {
        httplib::Client client("127.0.0.1", m_host.port());
        return answerOf(client.Post(path.c_str(), headers, body, contentType.c_str()));
    });
}

HostedApp::Answer HostedApp::request(const std::string& method, const std::string& path,
    const httplib::Headers& headers, const std::string& body, const std::string& contentType)
{
    return whilePumping([this, method, path, headers, body, contentType] {
        httplib::Client client("127.0.0.1", m_host.port());
        httplib::Request request;
        request.method = method;
        request.path = path;
        request.headers = headers;
        request.body = body;
        if (!contentType.empty())
            request.set_header("Content-Type", contentType);
        return answerOf(client.send(request));
    });
}

nlohmann::json HostedApp::state(const std::string& query)
{
    auto answer = get("/state?" + query);
    EXPECT_EQ(answer.status, 200) << answer.body;
    return answer.json();
}

HostedApp::Answer HostedApp::event(nlohmann::json event)
{
    if (!event.contains("version"))
        event["version"] = m_host.state().version();
    return post("/event", event.dump(), page());
}

std::uint64_t HostedApp::headerButtonId(const std::string& name)
{
    auto header = state()["screen"]["table"]["sections"][0]["header"];
    for (auto& subview : header["subviews"]) {
        if (subview.value("label", "") == name)
            return subview["id"].get<std::uint64_t>();
    }
    ADD_FAILURE() << "the header has no button " << name;
    return 0;
}

std::vector<std::string> snapshotRows(const nlohmann::json& state)
{
    std::vector<std::string> rows;
    for (auto& row : state["screen"]["table"]["rows"])
        rows.push_back(row["label"].get<std::string>());
    return rows;
}

std::vector<std::string> imageIds(const nlohmann::json& view)
{
    std::vector<std::string> ids;
    if (view.contains("image") && view["image"].is_object())
        ids.push_back(view["image"]["id"].get<std::string>());
    for (auto& subview : view.value("subviews", nlohmann::json::array())) {
        auto inner = imageIds(subview);
        ids.insert(ids.end(), inner.begin(), inner.end());
    }
    return ids;
}

std::string snapshotTitle(const nlohmann::json& state)
{
    auto* title = firstText(state["screen"]["table"]["sections"][0]["header"]);
    return title ? title->get<std::string>() : std::string();
}

int connectedTo(int port, int receiveBuffer, const char* from)
{
    int connection = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(connection, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (from) {
        sockaddr_in source {};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        if (::bind(connection, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(connection);
            return -1;
        }
    }
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(connection, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(connection);
        return -1;
    }
    return connection;
}

std::string rawExchange(int port, const std::string& bytes)
{
    auto exchange = std::async(std::launch::async, [port, bytes] {
        int connection = connectedTo(port);
        std::string answer;
        if (connection >= 0) {
            (void)::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            // The host answers a connection its sender half closed with nothing: this one stays
            // open until the host ends it.
            timeval wait { 15, 0 };
            ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            char buffer[4096];
            ssize_t got;
            while ((got = ::recv(connection, buffer, sizeof buffer, 0)) > 0)
                answer.append(buffer, static_cast<std::size_t>(got));
            ::close(connection);
        }
        return answer;
    });
    while (exchange.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        ui::MainLoop::main().runPending();
    return exchange.get();
}

}
