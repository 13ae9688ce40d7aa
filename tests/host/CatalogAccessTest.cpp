// The catalog for reading apps: its password or the launch's token opens it (and nothing else),
// a replaced password stops at once, the password outlives a restart, the catalog takes no
// write, every link it writes can be followed, and a cut download resumes with a range of the
// same bytes.
#include "tests/host/HostedApp.h"

#include "app/LibraryCatalog.h"
#include "platform/host/opds/CatalogPassword.h"
#include "platform/host/server/RequestGuard.h"
#include "tests/support/TemporaryFolder.h"

#include <functional>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <sys/stat.h>

namespace {

host::HostOptions catalogOptions(const fixtures::TemporaryFolder& config)
{
    host::HostOptions options;
    options.catalog = std::make_shared<LibraryCatalog>();
    options.secretStorePath = config.file("pagewyn/secrets");
    return options;
}

httplib::Headers basic(
    const fixtures::HostedApp& hosted, const std::string& user, const std::string& password)
{
    return { { "Host", hosted.hostName() },
        httplib::make_basic_authentication_header(user, password) };
}

std::string catalogPassword(fixtures::HostedApp& hosted)
{
    return hosted.get("/settings-page/catalog").json()["password"].get<std::string>();
}

TEST(CatalogAccess, thePasswordOrTheTokenOpensTheCatalogAndNothingElse)
{
    fixtures::TemporaryFolder config;
    fixtures::HostedApp hosted(
        { { "a.epub", "Alpha", "Ann", 2000 } }, true, catalogOptions(config));
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
        { "a broken header", { { "Host", hosted.hostName() }, { "Authorization", "Basic %%%" } },
            "GET", "/opds", 401 },
        { "the password", basic(hosted, "pagewyn", password), "GET", "/opds", 200 },
        { "the password, any user", basic(hosted, "kobo", password), "GET", "/opds/title", 200 },
        { "the token as password", basic(hosted, "", token), "GET", "/opds/recent", 200 },
        { "the token's header", hosted.page(), "GET", "/opds/authors", 200 },
        { "the password elsewhere", basic(hosted, "pagewyn", password), "GET", "/state", 403 },
        { "the password for the settings", basic(hosted, "pagewyn", password), "GET",
            "/settings-page/catalog", 403 },
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
    host::RequestGuard guard("token", { "127.0.0.1:1" },
        [](std::string_view presented) { return presented == "right"; });
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
        EXPECT_EQ(
            ask("192.0.2.1", "wrong" + std::to_string(attempt)).delay, std::chrono::seconds(0));
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

TEST(CatalogAccess, aRangeOfEitherKindOfBookIsTheSameBytesAsTheWholeDownload)
{
    fixtures::TemporaryFolder config;
    fixtures::HostedApp hosted(
        { { "zipped.epub", "Zipped", "Ann", 2000 } }, true, catalogOptions(config));
    fixtures::EpubFixture folderBook { .title = "Folder" };
    folderBook.chapters.push_back({ "Long", std::string(300000, 'w') });
    folderBook.writeUnpacked(hosted.app().library().itemPath("folder.epub"));
    hosted.app().showScreen();

    for (std::string book : { "zipped.epub", "folder.epub" }) {
        SCOPED_TRACE(book);
        const std::string path = "/opds/download/" + book;
        auto whole = hosted.get(path);
        ASSERT_EQ(whole.status, 200);
        EXPECT_EQ(whole.header("Accept-Ranges"), "bytes");
        const auto etag = whole.header("ETag");
        const auto size = whole.body.size();
        ASSERT_GT(size, 1000u);
        ASSERT_FALSE(etag.empty());
        // The same bytes at every request: a resumed download splices into the first one.
        EXPECT_EQ(hosted.get(path).body, whole.body);
        EXPECT_EQ(hosted.get(path).header("ETag"), etag);

        const auto sized = std::to_string(size);
        struct Case {
            std::string what;
            httplib::Headers extra;
            int status;
            std::size_t offset = 0, length = 0; // of the bytes sent; 0, 0 with 200: all
        };
        const std::vector<Case> cases {
            { "a start and an end", { { "Range", "bytes=0-9" } }, 206, 0, 10 },
            { "a range across entries", { { "Range", "bytes=40-999" } }, 206, 40, 960 },
            { "open-ended", { { "Range", "bytes=1000-" } }, 206, 1000, size - 1000 },
            { "the last byte", { { "Range", "bytes=" + std::to_string(size - 1) + "-" } }, 206,
                size - 1, 1 },
            { "a suffix", { { "Range", "bytes=-500" } }, 206, size - 500, 500 },
            { "a suffix longer than the file",
                { { "Range", "bytes=-" + std::to_string(size + 9) } }, 206, 0, size },
            { "an end past the file", { { "Range", "bytes=100-" + std::to_string(size + 1000) } },
                206, 100, size - 100 },
            { "from the end", { { "Range", "bytes=" + sized + "-" } }, 416 },
            { "far past the end", { { "Range", "bytes=100000000-" } }, 416 },
            { "an empty suffix", { { "Range", "bytes=-0" } }, 416 },
            { "several ranges", { { "Range", "bytes=0-9,20-29" } }, 200 },
            { "If-Range with this version", { { "Range", "bytes=10-19" }, { "If-Range", etag } },
                206, 10, 10 },
            { "If-Range with another version",
                { { "Range", "bytes=10-19" }, { "If-Range", "\"0123\"" } }, 200 },
            { "If-Range with another date",
                { { "Range", "bytes=10-19" }, { "If-Range", "Sun, 06 Nov 1994 08:49:37 GMT" } },
                200 },
        };
        for (const auto& each : cases) {
            SCOPED_TRACE(each.what);
            auto headers = hosted.page();
            headers.insert(each.extra.begin(), each.extra.end());
            auto answer = hosted.get(path, headers);
            ASSERT_EQ(answer.status, each.status) << answer.body;
            EXPECT_EQ(answer.header("ETag"), etag);
            if (each.status == 416) {
                EXPECT_EQ(answer.header("Content-Range"), "bytes */" + sized);
            } else if (each.status == 200) {
                EXPECT_EQ(answer.body, whole.body);
                EXPECT_EQ(answer.header("Content-Range"), "");
            } else {
                EXPECT_EQ(answer.header("Content-Range"),
                    "bytes " + std::to_string(each.offset) + "-"
                        + std::to_string(each.offset + each.length - 1) + "/" + sized);
                EXPECT_EQ(answer.body, whole.body.substr(each.offset, each.length));
            }
        }
        // A HEAD request says what a GET would send, and sends nothing.
        auto headers = hosted.page();
        headers.emplace("Range", "bytes=5-");
        auto head = hosted.request("HEAD", path, headers);
        EXPECT_EQ(head.status, 206);
        EXPECT_EQ(head.header("Content-Length"), std::to_string(size - 5));
        EXPECT_EQ(head.body, "");
        // A Last-Modified date names this version as the ETag does.
        headers.emplace("If-Range", whole.header("Last-Modified"));
        EXPECT_EQ(hosted.get(path, headers).body, whole.body.substr(5));
    }
}

TEST(CatalogAccess, everyAuthorLinkCanBeFollowedWhateverTheNameIsLong)
{
    fixtures::TemporaryFolder config;
    const std::string longest(100000, 'x'), accented = [] {
        std::string name;
        for (int each = 0; each < 300; ++each)
            name += "é";
        return name;
    }();
    fixtures::HostedApp hosted(
        { { "a.epub", "Alpha", "Ann", 2000 }, { "l.epub", "Long", longest, 2000 },
            { "m.epub", "Marks", accented, 2000 }, { "n.epub", "Nameless", "", 2000 } },
        true, catalogOptions(config));
    auto authors = hosted.get("/opds/authors");
    ASSERT_EQ(authors.status, 200);
    pugi::xml_document feed;
    ASSERT_TRUE(feed.load_string(authors.body.c_str()));
    std::size_t followed = 0;
    for (auto entry : feed.child("feed").children("entry")) {
        std::string href = entry.child("link").attribute("href").value();
        SCOPED_TRACE(href.substr(0, 80));
        EXPECT_LT(href.size(), 2000u);
        auto books = hosted.get(href);
        ASSERT_EQ(books.status, 200);
        pugi::xml_document own;
        ASSERT_TRUE(own.load_string(books.body.c_str()));
        EXPECT_EQ(std::distance(own.child("feed").children("entry").begin(),
                      own.child("feed").children("entry").end()),
            1);
        EXPECT_EQ(own.child("feed").child("entry").child("author").child_value("name"),
            std::string(entry.child_value("title")));
        // Its own pages are as short to follow.
        for (auto link : own.child("feed").children("link"))
            EXPECT_LT(std::string(link.attribute("href").value()).size(), 2000u);
        ++followed;
    }
    EXPECT_EQ(followed, 4u);
    EXPECT_EQ(hosted.get("/opds/author?key=0123456789abcdef").status, 404);
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
        struct stat status { };
        ASSERT_EQ(::stat(path.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 0777, 0600u) << each.what;
        EXPECT_EQ(catalogPassword(hosted), renewed) << each.what << ": made anew once";
    }
}

}
