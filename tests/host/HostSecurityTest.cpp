// The host's guard: no token in the header, no entry; pictures and book files only by their own
// keys; only this host's names; no other site's or port's pages; bounded bodies. A refused
// request changes nothing.
#include "tests/host/HostedApp.h"

#include "library/BookList.h"
#include "platform/host/server/RequestGuard.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

const std::vector<fixtures::BookFile> twoBooks { { "a.epub", "Alpha", "Ann", 2000 },
    { "b.epub", "Beta", "Bob", 1000 } };

struct Request {
    const char* method;
    std::string path;
};

TEST(HostSecurity, everyRequestWithoutTheLaunchTokenInItsHeaderIsForbiddenAndChangesNothing)
{
    fixtures::HostedApp hosted(twoBooks);
    auto sortButton = hosted.headerButtonId("sort");
    nlohmann::json sort = { { "type", "touchUpInside" }, { "view", sortButton },
        { "version", hosted.host().state().version() } };

    const std::string port = std::to_string(hosted.host().port());
    const std::string& token = hosted.host().token();
    // Each refusal names its kind, which the page tells in plain words.
    struct Stranger {
        std::string who;
        httplib::Headers headers;
        std::string refusal;
    };
    const std::vector<Stranger> strangers {
        { "no token", { { "Host", hosted.hostName() } }, "not-paired" },
        // A cookie goes to every port of this machine, so the host never takes one.
        { "the token in a cookie", { { "Cookie", "pagewyn-" + port + "=" + token } },
            "not-paired" },
        { "a truncated token", { { "X-Pagewyn-Token", token.substr(0, 63) } }, "earlier-launch" },
        { "a wrong token in the header", { { "X-Pagewyn-Token", "nope" } }, "earlier-launch" },
        { "a device key not known", { { "X-Pagewyn-Device", std::string(64, 'a') } },
            "removed-device" },
    };
    const std::vector<Request> requests {
        { "GET", "/state" },
        { "GET", "/events" },
        { "GET", "/settings-page" },
        { "GET", "/state?token=" + token },
        { "GET", "/events?token=" + token },
        { "GET", "/images" },
        { "GET", "/reader/" + std::string(32, 'a') },
    };
    for (auto& [who, headers, refusal] : strangers) {
        for (auto& request : requests) {
            auto answer = hosted.request(request.method, request.path, headers);
            EXPECT_EQ(answer.status, 403) << who << ": " << request.path;
            EXPECT_EQ(answer.header("X-Pagewyn-Refusal"), refusal) << who << ": " << request.path;
        }
        EXPECT_EQ(hosted.post("/event", sort.dump(), headers).status, 403) << who;
        EXPECT_EQ(
            hosted.post("/reader/" + std::string(32, 'a') + "/action", "{}", headers).status, 403)
            << who;
        EXPECT_EQ(hosted.post("/passages", R"({"words":"whale"})", headers).status, 403) << who;
    }
    EXPECT_EQ(fixtures::snapshotTitle(hosted.state()), "Recently Opened");
    EXPECT_EQ(fixtures::listedFiles(), (std::vector<std::string> { "a.epub", "b.epub" }));
}

TEST(HostSecurity, loadsThatCannotSendAHeaderGoByTheirOwnKeyInTheAddressAndTheRendererIsOpen)
{
    fixtures::HostedApp hosted(twoBooks);
    auto imageId = fixtures::imageIds(hosted.state()["screen"]["table"]["rows"][0]["cell"]).at(0);
    auto anotherLaunchs = std::string(16, '0') + imageId.substr(16);
    const httplib::Headers image { { "Host", hosted.hostName() },
        { "Sec-Fetch-Site", "same-origin" }, { "Sec-Fetch-Dest", "image" } };
    const std::vector<std::pair<std::string, int>> loads {
        { "/images/" + imageId, 200 },
        { "/images/" + anotherLaunchs, 404 },
        { "/reader/" + std::string(32, 'a') + "/OEBPS/chapter.xhtml", 404 },
        { "/", 200 },
        { "/app.js", 200 },
        { "/fonts/Avenir-Light", 200 },
        { "/faces.css", 200 },
    };
    for (auto& [path, status] : loads) {
        auto answer = hosted.get(path, image);
        EXPECT_EQ(answer.status, status) << path;
        EXPECT_EQ(answer.header("Set-Cookie"), "") << path;
    }
}

TEST(HostSecurity, thePrintedAddressOpensThePageWithoutACookie)
{
    fixtures::HostedApp hosted;
    auto opened = hosted.get("/?token=" + hosted.host().token(), { { "Host", hosted.hostName() } });
    EXPECT_EQ(opened.status, 200);
    EXPECT_EQ(opened.header("Set-Cookie"), "");
    EXPECT_EQ(opened.header("Referrer-Policy"), "no-referrer");
    EXPECT_NE(opened.body.find("<script type=\"module\" src=\"/app.js\">"), std::string::npos);
    EXPECT_EQ(hosted.get("/state", { { "X-Pagewyn-Token", hosted.host().token() } }).status, 200);
}

TEST(HostSecurity, everyLaunchHasItsOwnLongToken)
{
    fixtures::HostedApp first;
    fixtures::TemporaryFolder config;
    host::HostOptions options;
    options.secretStorePath = config.file("secrets");
    host::Host second(options);
    ASSERT_TRUE(second.start());
    EXPECT_EQ(first.host().token().size(), 64u);
    EXPECT_EQ(first.host().token().find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(first.host().token(), second.token());
    EXPECT_NE(second.address().find("?token=" + second.token()), std::string::npos);
}

TEST(HostSecurity, onlyNamesOfThisHostAreAnswered)
{
    fixtures::HostedApp hosted;
    const std::string port = std::to_string(hosted.host().port());
    const std::vector<std::pair<std::string, int>> hosts {
        { "127.0.0.1:" + port, 200 },
        { "localhost:" + port, 200 },
        { "LOCALHOST:" + port, 200 },
        { "[::1]:" + port, 200 },
        { "attacker.example:" + port, 403 },
        { "127.0.0.1:" + std::to_string(hosted.host().port() + 1), 403 },
        { "127.0.0.1", 403 },
        { "", 403 },
    };
    for (auto& [host, status] : hosts) {
        auto headers = hosted.page();
        headers.emplace("Host", host);
        auto answer = hosted.get("/state", headers);
        EXPECT_EQ(answer.status, status) << "Host: " << host;
        auto refusal = status == 403 ? "other-address" : "";
        EXPECT_EQ(answer.header("X-Pagewyn-Refusal"), refusal) << "Host: " << host;
    }
}

TEST(HostSecurity, requestsFromOtherSitesGetNoAnswerAndNoCrossOriginHeaders)
{
    fixtures::HostedApp hosted(twoBooks);
    auto sort = nlohmann::json { { "type", "touchUpInside" },
        { "view", hosted.headerButtonId("sort") }, { "version", hosted.host().state().version() } };
    auto fromElsewhere = hosted.page();
    fromElsewhere.emplace("Origin", "http://attacker.example");
    EXPECT_EQ(hosted.post("/event", sort.dump(), fromElsewhere).status, 403);
    // Another port of this machine is the same site, but not the same origin.
    for (auto [site, status] : std::vector<std::pair<std::string, int>> { { "same-origin", 200 },
             { "none", 200 }, { "same-site", 403 }, { "cross-site", 403 } }) {
        auto headers = hosted.page();
        headers.emplace("Sec-Fetch-Site", site);
        EXPECT_EQ(hosted.get("/state", headers).status, status) << site;
        EXPECT_EQ(hosted.get("/app.js", headers).status, status) << site;
    }
    auto sameOrigin = hosted.page();
    sameOrigin.emplace("Origin", "http://" + hosted.hostName());
    EXPECT_EQ(hosted.get("/state", sameOrigin).status, 200);

    auto preflight = fromElsewhere;
    preflight.emplace("Access-Control-Request-Method", "POST");
    for (auto& answer :
        { hosted.request("OPTIONS", "/event", preflight), hosted.get("/state"), hosted.get("/") }) {
        EXPECT_EQ(answer.header("Access-Control-Allow-Origin"), "");
        EXPECT_EQ(answer.header("Access-Control-Allow-Credentials"), "");
    }
    EXPECT_EQ(fixtures::snapshotTitle(hosted.state()), "Recently Opened");
}

TEST(HostSecurity, anEventMustBeJsonOfBoundedSize)
{
    fixtures::HostedApp hosted(twoBooks);
    auto sort = nlohmann::json { { "type", "touchUpInside" },
        { "view", hosted.headerButtonId("sort") }, { "version", hosted.host().state().version() } };
    EXPECT_EQ(hosted.post("/event", sort.dump(), hosted.page(), "text/plain").status, 415);
    EXPECT_EQ(hosted
                  .post("/event", "type=touchUpInside", hosted.page(),
                      "application/x-www-form-urlencoded")
                  .status,
        415);
    auto padded = sort;
    padded["padding"] = std::string(host::Host::largestBody, 'x');
    EXPECT_EQ(hosted.post("/event", padded.dump(), hosted.page()).status, 413);
    EXPECT_EQ(fixtures::snapshotTitle(hosted.state()), "Recently Opened");
}

TEST(HostSecurity, aBodyLeftUnreadEndsItsConnectionSoNothingInItIsTakenForARequest)
{
    fixtures::HostedApp hosted(twoBooks);
    const std::string head
        = "Host: " + hosted.hostName() + "\r\nContent-Type: application/json\r\n";
    const std::string token = "X-Pagewyn-Token: " + hosted.host().token() + "\r\n";
    // Sent as the body: a request the host would answer 200 on a connection of its own.
    const std::string inner
        = "GET /state HTTP/1.1\r\nHost: " + hosted.hostName() + "\r\n" + token + "\r\n";
    const std::string length = "Content-Length: " + std::to_string(inner.size()) + "\r\n";
    struct Case {
        const char* what;
        std::string request;
        const char* status;
    };
    const std::vector<Case> cases {
        { "its length said two ways",
            "POST /event HTTP/1.1\r\n" + head + token + length
                + "Transfer-Encoding: chunked\r\n\r\n",
            "400" },
        { "two ways on an upload",
            "POST /pick?name=A.epub HTTP/1.1\r\n" + head + token + length
                + "Transfer-Encoding: chunked\r\n\r\n",
            "400" },
        { "chunked where a length is asked",
            "POST /event HTTP/1.1\r\n" + head + token + "Transfer-Encoding: chunked\r\n\r\n",
            "411" },
        { "longer than the bound",
            "POST /event HTTP/1.1\r\n" + head + token + "Content-Length: 999999\r\n\r\n", "413" },
        { "refused by the guard", "POST /event HTTP/1.1\r\n" + head + length + "\r\n", "403" },
    };
    for (auto& each : cases) {
        auto answer = fixtures::rawExchange(hosted.host().port(), each.request + inner);
        EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + each.status, 0), 0u)
            << each.what << ": " << answer;
        EXPECT_EQ(answer.find("HTTP/1.1", 1), std::string::npos)
            << each.what << ": a second answer";
    }
    EXPECT_EQ(fixtures::snapshotTitle(hosted.state()), "Recently Opened");
}

// A head earns its connection a place before strangers' only where the guard will let the
// request in as the page's or a device's: the right host and site, and a secret that is right.
TEST(HostSecurity, aHeadIsTrustedAtTheGateOnlyWhereTheGuardWouldTrustIt)
{
    host::RequestGuard guard(
        "token", { "127.0.0.1:1" }, [](std::string_view password) { return password == "catalog"; },
        [](std::string_view key) { return key == "device"; });
    struct Case {
        std::string who;
        httplib::Headers headers;
        std::string path;
        host::WorkerPool::Credential credential;
    };
    using enum host::WorkerPool::Credential;
    const httplib::Headers here { { "Host", "127.0.0.1:1" } };
    auto with = [&](httplib::Headers more) {
        more.insert(here.begin(), here.end());
        return more;
    };
    const std::vector<Case> cases {
        { "the token", with({ { "X-Pagewyn-Token", "token" } }), "/state", trusted },
        { "a paired device", with({ { "X-Pagewyn-Device", "device" } }), "/state", trusted },
        { "a wrong device key", with({ { "X-Pagewyn-Device", "guess" } }), "/state", none },
        { "a wrong token", with({ { "X-Pagewyn-Token", "tokem" } }), "/state", none },
        { "the token for another host",
            { { "Host", "evil.example:1" }, { "X-Pagewyn-Token", "token" } }, "/state", none },
        { "the token from another site",
            with({ { "X-Pagewyn-Token", "token" }, { "Sec-Fetch-Site", "cross-site" } }), "/state",
            none },
        { "the token from another origin",
            with({ { "X-Pagewyn-Token", "token" }, { "Origin", "http://127.0.0.1:2" } }), "/state",
            none },
        { "the catalog password",
            with({ httplib::make_basic_authentication_header("kobo", "catalog") }), "/opds",
            catalogPassword },
        { "nothing", here, "/", none },
    };
    for (const auto& each : cases) {
        httplib::Request head;
        head.method = "GET";
        head.path = each.path;
        head.remote_addr = "192.0.2.1";
        head.headers = each.headers;
        EXPECT_EQ(guard.admission(head).credential, each.credential) << each.who;
    }
}

}
