// What clients without credentials cannot take from those with one: while they hold every worker
// of their budget, guess passwords or stall downloads, a paired device and a reading app with the
// catalog's password are answered, each before the flood has let go of a worker.
#include "tests/host/HostedApp.h"

#include "app/LibraryCatalog.h"
#include "platform/host/server/RequestGuard.h"
#include "platform/ui/MainLoop.h"
#include "tests/support/RunMainLoop.h"
#include "tests/support/TemporaryFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A host with the catalog and one paired device, and the flood's connections, closed at the end.
class HostUnderLoad : public ::testing::Test {
protected:
    HostUnderLoad()
        : m_hosted({ { "a.epub", "Alpha", "Ann", 2000 } }, true, [&] {
            host::HostOptions options;
            options.catalog = std::make_shared<LibraryCatalog>();
            options.secretStorePath = m_config.file("secrets");
            return options;
        }())
    {
        std::string address = m_hosted.post("/settings-page/devices/add", "{}", m_hosted.page())
                                  .json()["addresses"][0]["address"];
        auto code = address.substr(address.find("?pair=") + 6);
        auto paired = m_hosted.post("/pairing", nlohmann::json { { "code", code } }.dump(),
            { { "Host", m_hosted.hostName() } });
        m_deviceKey = paired.json()["key"];
        m_password = m_hosted.get("/settings-page/catalog").json()["password"];
    }
    ~HostUnderLoad() override
    {
        for (int sock : m_flood)
            ::close(sock);
        // Requests of the flood still wait for the main loop, which no one runs from here on: let
        // them go, as the program does when it stops.
        ui::MainLoop::main().stop();
        m_hosted.host().stop();
        ui::MainLoop::main().reset();
    }

    std::string head(const std::string& path, const std::string& extra = "") const
    {
        return "GET " + path + " HTTP/1.1\r\nHost: " + m_hosted.hostName() + "\r\n" + extra
            + "\r\n";
    }
    std::string basic(const std::string& password) const
    {
        auto [name, value] = httplib::make_basic_authentication_header("kobo", password);
        return name + ": " + value + "\r\n";
    }
    // Connections from 127.0.0.(2 + n mod addresses), each sending the requests and reading
    // little or nothing of the answers.
    void flood(std::size_t connections, std::size_t addresses, const std::string& requests)
    {
        for (std::size_t index = 0; index < connections; ++index) {
            auto from = "127.0.0." + std::to_string(2 + index % addresses);
            int sock = fixtures::connectedTo(m_hosted.host().port(), 1024, from.c_str());
            ASSERT_GE(sock, 0) << from;
            ::send(sock, requests.data(), requests.size(), MSG_NOSIGNAL);
            m_flood.push_back(sock);
        }
    }
    // What the device and the reading app are answered, each on a connection of its own.
    void expectDeviceAndReadingAppAnswered()
    {
        EXPECT_EQ(m_hosted
                      .get("/state",
                          { { "Host", m_hosted.hostName() },
                              { host::RequestGuard::deviceHeader, m_deviceKey } })
                      .status,
            200);
        auto [name, value] = httplib::make_basic_authentication_header("kobo", m_password);
        EXPECT_EQ(
            m_hosted.get("/opds", { { "Host", m_hosted.hostName() }, { name, value } }).status,
            200);
    }
    host::WorkerPool::Load load() { return m_hosted.host().workerLoad(); }

    fixtures::TemporaryFolder m_config;
    fixtures::HostedApp m_hosted;
    std::string m_deviceKey;
    std::string m_password;
    std::vector<int> m_flood;
};

TEST_F(HostUnderLoad, slowReadersOfAFontFromManyAddressesTakeNothingFromDevicesAndReadingApps)
{
    std::string requests;
    for (int index = 0; index < 20; ++index)
        requests += head("/fonts/Avenir-Light");
    flood(60, 20, requests);
    const auto strangers = host::WorkerPool::Budget {}.strangers.inAll;
    fixtures::runMainLoopUntil([&] { return load().strangersServed == strangers; });
    ASSERT_EQ(load().strangersServed, strangers);
    expectDeviceAndReadingAppAnswered();
    EXPECT_EQ(load().strangersServed, strangers)
        << "the strangers still hold every place of theirs";
    EXPECT_GT(load().waiting, 0u);
}

TEST_F(HostUnderLoad, wrongPasswordsWaitTheirDelayHoldingNoWorker)
{
    // Four addresses guess until they are slowed down, then keep guessing on 64 connections.
    const std::string wrong = head("/opds", basic(m_password + "x"));
    for (int address = 0; address < 4; ++address) {
        std::string guesses;
        for (int attempt = 0; attempt < 10; ++attempt)
            guesses += wrong;
        auto from = "127.0.0." + std::to_string(2 + address);
        int sock = fixtures::connectedTo(m_hosted.host().port(), 0, from.c_str());
        ASSERT_GE(sock, 0);
        ::send(sock, guesses.data(), guesses.size(), MSG_NOSIGNAL);
        m_flood.push_back(sock);
    }
    auto slowed = [&](int address) {
        httplib::Request guess;
        guess.method = "GET";
        guess.path = "/opds";
        guess.remote_addr = "127.0.0." + std::to_string(2 + address);
        guess.headers.emplace("Host", m_hosted.hostName());
        return m_hosted.host().guard().check(guess).delay > std::chrono::seconds(0);
    };
    fixtures::runMainLoopUntil([&] { return slowed(0) && slowed(1) && slowed(2) && slowed(3); });
    std::string guesses;
    for (int attempt = 0; attempt < 20; ++attempt)
        guesses += wrong;
    flood(64, 4, guesses);
    fixtures::runMainLoopUntil(
        [&] { return load().delayed >= host::WorkerPool::Budget {}.delayedPerPeer; });
    ASSERT_GE(load().delayed, host::WorkerPool::Budget {}.delayedPerPeer);
    expectDeviceAndReadingAppAnswered();
    EXPECT_GT(load().delayed, 0u) << "the guesses were still waiting";
}

TEST_F(HostUnderLoad, stalledDownloadsLeavePlacesForTheCatalogsFeeds)
{
    // A book large enough that no socket's buffers hold it.
    std::ofstream(m_hosted.app().library().itemPath("a.epub"), std::ios::binary | std::ios::app)
        << std::string(4 * 1024 * 1024, '\0');
    flood(100, 10, head("/opds/download/a.epub", basic(m_password)));
    const auto downloads = host::WorkerPool::Budget {}.catalogDownloads;
    fixtures::runMainLoopUntil([&] { return load().catalogDownloadsServed == downloads; });
    ASSERT_EQ(load().catalogDownloadsServed, downloads);
    auto [name, value] = httplib::make_basic_authentication_header("kobo", m_password);
    for (int client = 0; client < 10; ++client)
        EXPECT_EQ(
            m_hosted.get("/opds", { { "Host", m_hosted.hostName() }, { name, value } }).status, 200)
            << client;
    EXPECT_EQ(load().catalogDownloadsServed, downloads) << "the downloads still stall";
}

}
