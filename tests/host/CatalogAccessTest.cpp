// The catalog for reading apps: its password or the launch's token opens it (and nothing else),
// a replaced password stops at once, the password outlives a restart, and the catalog takes no
// write.
#include "tests/host/HostedApp.h"

#include "app/LibraryCatalog.h"
#include "platform/host/opds/CatalogPassword.h"
#include "platform/host/server/RequestGuard.h"
#include "tests/support/TemporaryFolder.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

host::HostOptions catalogOptions(const fixtures::TemporaryFolder& config)
{
    host::HostOptions options;
    options.catalog = std::make_shared<LibraryCatalog>();
    options.secretStorePath = config.file("pagewyn/secrets");
    return options;
}

httplib::Headers basic(const fixtures::HostedApp& hosted, const std::string& user, const std::string& password)
{
    return { { "Host", hosted.hostName() }, httplib::make_basic_authentication_header(user, password) };
}

std::string catalogPassword(fixtures::HostedApp& hosted)
{
    return hosted.get("/settings-page/catalog").json()["password"].get<std::string>();
}

TEST(CatalogAccess, thePasswordOrTheTokenOpensTheCatalogAndNothingElse)
{
    fixtures::TemporaryFolder config;
    fixtures::HostedApp hosted({ { "a.epub", "Alpha", "Ann", 2000 } }, true, catalogOptions(config));
    const auto password = catalogPassword(hosted);
    const auto& token = hosted.host().token();
    const httplib::Headers bare { { "Host", hosted.hostName() } };
    struct Case {
        std::string who;
        httplib::Headers headers;
        std::string method, path;
        int status;
    };
    const std::vector<Case> cases {
        { "nothing", bare, "GET", "/opds", 401 },
        { "a wrong password", basic(hosted, "pagewyn", password + "x"), "GET", "/opds/title", 401 },
        { "the password as user name", basic(hosted, password, ""), "GET", "/opds", 401 },
        { "a broken header", { { "Host", hosted.hostName() }, { "Authorization", "Basic %%%" } }, "GET", "/opds", 401 },
        { "the password", basic(hosted, "pagewyn", password), "GET", "/opds", 200 },
        { "the password, any user", basic(hosted, "kobo", password), "GET", "/opds/title", 200 },
        { "the token as password", basic(hosted, "", token), "GET", "/opds/recent", 200 },
        { "the token's header", hosted.page(), "GET", "/opds/authors", 200 },
        { "the password elsewhere", basic(hosted, "pagewyn", password), "GET", "/state", 403 },
        { "the password for the settings", basic(hosted, "pagewyn", password), "GET", "/settings-page/catalog", 403 },
        { "the password to write", basic(hosted, "pagewyn", password), "POST", "/opds", 403 },
    };
    for (auto& each : cases) {
        auto answer = hosted.request(each.method, each.path, each.headers);
        EXPECT_EQ(answer.status, each.status) << each.who;
        if (each.status == 401) {
            EXPECT_EQ(answer.header("WWW-Authenticate"), "Basic realm=\"Pagewyn\"") << each.who;
        }
        EXPECT_EQ(answer.body.find(token), std::string::npos) << each.who;
    }
}

TEST(CatalogAccess, wrongPasswordsFromOneAddressSlowItsAnswersButAsking)
{
    host::RequestGuard guard("token", { "127.0.0.1:1" }, [](std::string_view presented) { return presented == "right"; });
    auto ask = [&](const std::string& from, std::optional<std::string> password) {
        httplib::Request request;
        request.method = "GET";
        request.path = "/opds";
        request.remote_addr = from;
        request.headers.emplace("Host", "127.0.0.1:1");
        if (password)
            request.headers.insert(httplib::make_basic_authentication_header("kobo", *password));
        return guard.check(request);
    };
    for (int attempt = 0; attempt < 10; ++attempt) {
        EXPECT_EQ(ask("192.0.2.1", "wrong" + std::to_string(attempt)).delay, std::chrono::seconds(0));
        EXPECT_TRUE(ask("192.0.2.3", std::nullopt).challenge);
    }
    auto slowed = ask("192.0.2.1", "right");
    EXPECT_TRUE(slowed.allowed);
    EXPECT_EQ(slowed.delay, std::chrono::seconds(1));
    EXPECT_EQ(ask("192.0.2.2", "wrong").delay, std::chrono::seconds(0));
    EXPECT_EQ(ask("192.0.2.3", std::nullopt).delay, std::chrono::seconds(0));
}

TEST(CatalogAccess, aNewPasswordStopsTheOldOneAtOnceAndOutlivesARestart)
{
    fixtures::TemporaryFolder config;
    std::string renewed;
    {
        fixtures::HostedApp hosted({}, true, catalogOptions(config));
        auto old = catalogPassword(hosted);
        auto answer = hosted.post("/settings-page/catalog/new-password", "{}", hosted.page());
        ASSERT_EQ(answer.status, 200);
        renewed = answer.json()["password"];
        EXPECT_NE(renewed, old);
        EXPECT_EQ(hosted.get("/opds", basic(hosted, "pagewyn", old)).status, 401);
        EXPECT_EQ(hosted.get("/opds", basic(hosted, "pagewyn", renewed)).status, 200);
    }
    fixtures::HostedApp restarted({}, true, catalogOptions(config));
    EXPECT_EQ(restarted.get("/opds", basic(restarted, "pagewyn", renewed)).status, 200);
    EXPECT_TRUE(restarted.get("/settings-page/catalog").json()["notice"].is_null());
}

TEST(CatalogAccess, aPasswordFileThatCannotBeTrustedIsReplacedAndSaidSo)
{
    fixtures::TemporaryFolder config;
    auto path = config.file("secrets");
    desktop::SecretStoreFile firstStore(path);
    std::string first = host::CatalogPassword(firstStore).current();
    ::chmod(path.c_str(), 0644);
    desktop::SecretStoreFile store(path);
    host::CatalogPassword again(store);
    EXPECT_NE(again.current(), first);
    EXPECT_FALSE(again.matches(first));
    ASSERT_TRUE(again.notice());
    EXPECT_NE(again.notice()->find("readable by other users"), std::string::npos);
    desktop::SecretStoreFile laterStore(path);
    EXPECT_EQ(host::CatalogPassword(laterStore).current(), again.current());
}

TEST(CatalogAccess, aStoreMadeReadableByOthersWhileRunningStopsThePasswordItShowed)
{
    struct Case {
        std::string what;
        // What the host does after the file's mode changed, before a reading app asks.
        std::function<void(fixtures::HostedApp&)> meanwhile;
    };
    const std::vector<Case> cases {
        { "found by the reading app's request", [](fixtures::HostedApp&) {} },
        { "found by a write that made the file private again",
            [](fixtures::HostedApp& hosted) {
                std::string address = hosted.post("/settings-page/devices/add", "{}", hosted.page())
                                          .json()["addresses"][0]["address"];
                auto code = address.substr(address.find("?pair=") + 6);
                ASSERT_EQ(hosted
                              .post("/pairing", nlohmann::json { { "code", code } }.dump(),
                                  { { "Host", hosted.hostName() } })
                              .status,
                    200);
            } },
    };
    for (auto& each : cases) {
        fixtures::TemporaryFolder config;
        const auto path = config.file("pagewyn/secrets");
        fixtures::HostedApp hosted({}, true, catalogOptions(config));
        const auto shown = catalogPassword(hosted);
        ASSERT_EQ(hosted.get("/opds", basic(hosted, "pagewyn", shown)).status, 200) << each.what;
        ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
        each.meanwhile(hosted);
        EXPECT_EQ(hosted.get("/opds", basic(hosted, "pagewyn", shown)).status, 401) << each.what;
        auto settings = hosted.get("/settings-page/catalog").json();
        const std::string renewed = settings["password"];
        EXPECT_NE(renewed, shown) << each.what;
        EXPECT_NE(settings["notice"].get<std::string>().find(
                      "the file of secrets was readable by other users"),
            std::string::npos)
            << settings["notice"];
        EXPECT_EQ(hosted.get("/opds", basic(hosted, "pagewyn", renewed)).status, 200) << each.what;
        struct stat status {};
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u) << each.what;
        EXPECT_EQ(catalogPassword(hosted), renewed) << each.what << ": made anew once";
    }
}

}
