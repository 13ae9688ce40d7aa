// The progress sync for reading devices: the protocol's answers, the catalog's account as its
// only one (and a new password ending the old key), bad pushes changing nothing, and places
// carried both ways between a device and the reader, through the host.
#include "tests/host/HostedApp.h"

#include "app/LibraryCatalog.h"
#include "app/LibrarySync.h"
#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "platform/foundation/Md5.h"
#include "platform/host/kosync/PushedPlaces.h"
#include "platform/host/kosync/documentDigest.h"
#include "platform/host/snapshot/TableSnapshot.h"
#include "tests/support/TemporaryFolder.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

host::HostOptions syncOptions(const fixtures::TemporaryFolder& config, bool withLibrary)
{
    host::HostOptions options;
    options.catalog = std::make_shared<LibraryCatalog>();
    options.secretStorePath = config.file("pagewyn/secrets");
    options.pushedPlacesPath = config.file(host::PushedPlaces::fileName);
    if (withLibrary)
        options.sync = std::make_shared<LibrarySync>(ui::MainLoop::main());
    return options;
}

struct Account {
    fixtures::HostedApp& hosted;
    std::string key;

    httplib::Headers headers(
        const std::string& user = "pagewyn", std::optional<std::string> key = {}) const
    {
        return { { "Host", hosted.hostName() }, { "Accept", "application/vnd.koreader.v1+json" },
            { "x-auth-user", user }, { "x-auth-key", key.value_or(this->key) } };
    }
    fixtures::HostedApp::Answer push(const std::string& body) const
    {
        return hosted.request("PUT", "/kosync/syncs/progress", headers(), body, "application/json");
    }
    nlohmann::json pull(const std::string& document) const
    {
        auto answer = hosted.request("GET", "/kosync/syncs/progress/" + document, headers());
        EXPECT_EQ(answer.status, 200) << answer.body;
        EXPECT_EQ(answer.header("Content-Type").rfind("application/json", 0), 0u);
        return answer.json();
    }
};

Account accountOf(fixtures::HostedApp& hosted)
{
    auto password = hosted.get("/settings-page/catalog").json()["password"].get<std::string>();
    return { hosted, foundation::Md5::hexOf(password) };
}

TEST(ProgressSync, answersAsTheProtocolSays)
{
    fixtures::TemporaryFolder config;
    fixtures::HostedApp hosted({}, true, syncOptions(config, false));
    auto account = accountOf(hosted);
    const httplib::Headers bare { { "Host", hosted.hostName() } };
    const std::string document = "0123456789abcdef0123456789abcdef";
    const std::string place
        = R"("progress":"/body/DocFragment[14]/body/div/p[23]/text().157","percentage":0.25,)"
          R"("device":"Kobo","device_id":"A1")";
    // Another first digit: a key that merely set it to "0" was right whenever it began so.
    std::string wrongKey = (account.key[0] == '0' ? "1" : "0") + account.key.substr(1);
    std::string upperKey = account.key;
    for (auto& c : upperKey)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    struct Case {
        std::string what;
        std::string method, path;
        httplib::Headers headers;
        std::string body;
        int status;
        nlohmann::json answer; // null: not compared
    };
    const std::vector<Case> cases {
        { "health, without an account", "GET", "/kosync/healthcheck", bare, "", 200,
            { { "state", "OK" } } },
        { "registration is closed", "POST", "/kosync/users/create", bare,
            R"({"username":"a","password":"b"})", 402, nullptr },
        { "no credentials", "GET", "/kosync/users/auth", bare, "", 401,
            { { "code", 2001 }, { "message", "Unauthorized" } } },
        { "a wrong key", "GET", "/kosync/users/auth", account.headers("pagewyn", wrongKey), "", 401,
            nullptr },
        { "an unknown user", "GET", "/kosync/users/auth", account.headers("kobo"), "", 401,
            nullptr },
        { "the password itself as key", "GET", "/kosync/users/auth", account.headers("pagewyn", ""),
            "", 401, nullptr },
        { "the account", "GET", "/kosync/users/auth", account.headers(), "", 200,
            { { "authorized", "OK" } } },
        { "the key in capitals", "GET", "/kosync/users/auth", account.headers("pagewyn", upperKey),
            "", 200, nullptr },
        { "never pushed", "GET", "/kosync/syncs/progress/" + document, account.headers(), "", 200,
            nlohmann::json::object() },
        { "a push without a document", "PUT", "/kosync/syncs/progress", account.headers(),
            "{" + place + "}", 403,
            { { "code", 2004 }, { "message", "Field 'document' not provided." } } },
        { "a document of odd characters", "PUT", "/kosync/syncs/progress", account.headers(),
            R"({"document":"../../etc",)" + place + "}", 403, nullptr },
        { "no progress", "PUT", "/kosync/syncs/progress", account.headers(),
            R"({"document":")" + document + R"(","percentage":0.5,"device":"Kobo"})", 403,
            nullptr },
        { "no device", "PUT", "/kosync/syncs/progress", account.headers(),
            R"({"document":")" + document + R"(","progress":"x","percentage":0.5})", 403, nullptr },
        { "a percentage past 1", "PUT", "/kosync/syncs/progress", account.headers(),
            R"({"document":")" + document + R"(","progress":"x","percentage":1.5,"device":"K"})",
            403, nullptr },
        { "a percentage as text", "PUT", "/kosync/syncs/progress", account.headers(),
            R"({"document":")" + document + R"(","progress":"x","percentage":"0.5","device":"K"})",
            403, nullptr },
        { "not JSON", "PUT", "/kosync/syncs/progress", account.headers(), "document=1", 403,
            nullptr },
        { "a body past 64 KiB", "PUT", "/kosync/syncs/progress", account.headers(),
            R"({"document":")" + document + R"(","progress":")" + std::string(70000, 'x')
                + R"(","percentage":0,"device":"K"})",
            413, nullptr },
        { "a route outside the protocol", "GET", "/kosync/syncs/everything", account.headers(), "",
            404, nullptr },
        { "nothing was kept", "GET", "/kosync/syncs/progress/" + document, account.headers(), "",
            200, nlohmann::json::object() },
    };
    for (const auto& each : cases) {
        auto answer = hosted.request(each.method, each.path, each.headers, each.body,
            each.body.empty() ? "" : "application/json");
        EXPECT_EQ(answer.status, each.status) << each.what << ": " << answer.body;
        auto json = answer.json();
        if (!each.answer.is_null()) {
            EXPECT_EQ(json, each.answer) << each.what;
        }
        if (each.status >= 400 && each.status != 413 && each.status != 404) {
            EXPECT_TRUE(json.contains("code")) << each.what;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(config.file(host::PushedPlaces::fileName)))
        << "no bad push wrote anything";
}

TEST(ProgressSync, theLastPushWinsAndComesBackAsItWasSent)
{
    fixtures::TemporaryFolder config;
    auto options = syncOptions(config, false);
    const std::string document = "fedcba9876543210fedcba9876543210";
    const std::string progress = "/body/DocFragment[3]/body/p[2]/text().4 \u00e9\\\"";
    {
        fixtures::HostedApp hosted({}, true, options);
        auto account = accountOf(hosted);
        nlohmann::json first = { { "document", document },
            { "progress", "/body/DocFragment[9]/body/p" }, { "percentage", 0.9 },
            { "device", "Kobo" }, { "device_id", "K1" }, { "timestamp", 1 } };
        auto pushed = account.push(first.dump());
        ASSERT_EQ(pushed.status, 200) << pushed.body;
        EXPECT_EQ(pushed.json()["document"], document);
        auto timestamp = pushed.json()["timestamp"].get<std::int64_t>();
        EXPECT_GT(timestamp, 1700000000) << "the server's own time, not the device's";

        // Backwards, from another device, with an extra metadata object: it wins all the same.
        nlohmann::json second = { { "document", document }, { "progress", progress },
            { "percentage", 0 }, { "device", "Boox" }, { "device_id", "B2" },
            { "metadata", { { "title", "Moby-Dick" } } } };
        ASSERT_EQ(account.push(second.dump()).status, 200);
        auto pulled = account.pull(document);
        EXPECT_EQ(pulled["progress"], progress) << "byte for byte";
        EXPECT_EQ(pulled["percentage"], 0);
        EXPECT_EQ(pulled["device"], "Boox");
        EXPECT_EQ(pulled["device_id"], "B2");
        EXPECT_GE(pulled["timestamp"].get<std::int64_t>(), timestamp);

        // A new catalog password ends the old key at once.
        ASSERT_EQ(
            hosted.post("/settings-page/catalog/new-password", "{}", hosted.page()).status, 200);
        auto refused
            = hosted.request("GET", "/kosync/syncs/progress/" + document, account.headers());
        EXPECT_EQ(refused.status, 401);
    }
    fixtures::HostedApp restarted({}, true, options);
    EXPECT_EQ(accountOf(restarted).pull(document)["progress"], progress)
        << "pushes outlive a restart";
}

TEST(ProgressSync, placesGoBothWaysBetweenADeviceAndTheReader)
{
    fixtures::TemporaryFolder config;
    fixtures::HostedApp hosted(
        { { "moby.epub", "Moby-Dick", "Herman Melville", 2000 } }, true, syncOptions(config, true));
    auto account = accountOf(hosted);
    std::string path = hosted.app().library().itemPath("moby.epub");
    auto digest = host::documentDigest(path);
    ASSERT_TRUE(digest) << digest.error().description();
    std::string store = hosted.app().library().itemPath(folioreader::readingPlacesName);

    // The second chapter's paragraph, seven characters in ("Chapter Two" is its heading).
    nlohmann::json push
        = { { "document", *digest }, { "progress", "/body/DocFragment[2]/body/p/text().7" },
              { "percentage", 0.7 }, { "device", "Kobo Libra" }, { "device_id", "K1" } };
    ASSERT_EQ(account.push(push.dump()).status, 200);
    auto place = folioreader::readingPlace(store, "moby.epub");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->document, "OEBPS/text/chapter-2.xhtml");
    EXPECT_EQ(place->offset, 18u);
    EXPECT_EQ(place->device, "Kobo Libra");
    ASSERT_TRUE(place->progress);
    EXPECT_GT(*place->progress, 0.5);
    auto rows = hosted.state()["screen"]["table"]["rows"];
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0]["label"].get<std::string>().find("% read"), std::string::npos)
        << rows[0]["label"];

    // The reader keeps a newer place: a pull answers it, as Pagewyn's.
    folioreader::ReadingPlace own { "OEBPS/text/chapter-1.xhtml", 16 };
    own.keptAt = account.pull(*digest)["timestamp"].get<std::int64_t>() + 5;
    own.progress = 0.4;
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "moby.epub", own));
    auto pulled = account.pull(*digest);
    EXPECT_EQ(pulled["progress"], "/body/DocFragment[1]/body/p/text().5");
    EXPECT_EQ(pulled["device"], "Pagewyn");
    EXPECT_DOUBLE_EQ(pulled["percentage"].get<double>(), 0.4);

    // The name the catalog downloads the book under names it too; a document of no book is
    // kept and answered all the same.
    EXPECT_EQ(account.pull(host::fileNameDigest("moby.epub"))["device"], "Pagewyn");
    push["document"] = "00000000000000000000000000000000";
    ASSERT_EQ(account.push(push.dump()).status, 200);
    EXPECT_EQ(account.pull("00000000000000000000000000000000")["device"], "Kobo Libra");
}

// Past the bound the oldest push goes, never the one just made; a store that cannot be written
// keeps nothing new and says so.
TEST(ProgressSync, pushedPlacesAreBoundedAndKeptWhole)
{
    host::PushedPlaces places("");
    auto push = [&](std::size_t n, std::int64_t at) {
        return places.keep({ "d" + std::to_string(n), "p", 0.5, "K", "K1", at });
    };
    for (std::size_t n = 0; n < host::PushedPlaces::maximumDocuments; ++n)
        ASSERT_TRUE(push(n, n == 7 ? 1 : 100));
    ASSERT_TRUE(push(999999, 0)) << "older than every other by its time, and kept all the same";
    EXPECT_FALSE(places.find("d7"));
    EXPECT_TRUE(places.find("d999999"));
    EXPECT_TRUE(places.find("d0"));

    fixtures::TemporaryFolder folder;
    host::PushedPlaces unwritable(folder.file("missing-folder/kosync-progress.json"));
    EXPECT_FALSE(unwritable.keep({ "d1", "p", 0.5, "K", "K1", 1 }));
    EXPECT_FALSE(unwritable.find("d1"));
    EXPECT_FALSE(places.keep({ "../d", "p", 0.5, "K", "K1", 1 }));
    EXPECT_FALSE(places.keep({ "d1", "p", NAN, "K", "K1", 1 }));

    std::ofstream(folder.file("odd.json"))
        << R"({"documents":{"d1":{"progress":"p",)"
           R"("percentage":0.5,"device":"K","device_id":"K1","timestamp":1}},"store":5})";
    EXPECT_FALSE(host::PushedPlaces(folder.file("odd.json")).find("d1"))
        << "a file whose kind is no text is another kind of file";
}

}
