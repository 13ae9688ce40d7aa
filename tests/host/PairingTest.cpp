// Devices that pair once: a code opens once within its lifetime, the key it gives opens what the
// token opens across restarts until removed (only this computer's browser pairs, removes and sees
// the catalog password), wrong keys and guessed codes slow their address, a store that cannot be
// trusted pairs no device, and the devices and the catalog password share the store without
// dropping each other.
#include "tests/host/HostedApp.h"

#include "app/LibraryCatalog.h"
#include "platform/desktop/SecretStoreFile.h"
#include "platform/foundation/sha256.h"
#include "platform/host/opds/CatalogPassword.h"
#include "platform/host/pairing/PairedDevices.h"
#include "platform/host/server/RequestGuard.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace std::chrono_literals;

constexpr const char* phone
    = "Mozilla/5.0 (Android 14; Mobile; rv:133.0) Gecko/133.0 Firefox/133.0";

host::HostOptions storedIn(const std::string& path)
{
    host::HostOptions options;
    options.secretStorePath = path;
    return options;
}

// What the page at a pairing address does: the code, from the address, traded for a key.
fixtures::HostedApp::Answer redeem(fixtures::HostedApp& hosted, const std::string& code)
{
    return hosted.post("/pairing", nlohmann::json { { "code", code } }.dump(),
        { { "Host", hosted.hostName() }, { "User-Agent", phone } });
}

httplib::Headers device(const fixtures::HostedApp& hosted, const std::string& key)
{
    return { { "Host", hosted.hostName() }, { host::RequestGuard::deviceHeader, key } };
}

std::vector<desktop::SecretEntry> entriesOf(const std::string& path, const std::string& kind)
{
    std::vector<desktop::SecretEntry> found;
    for (auto& entry : desktop::readSecretStore(path).entries) {
        if (entry.kind == kind)
            found.push_back(entry);
    }
    return found;
}

TEST(PairedDevices, aCodeOpensOnceWithinItsLifetimeUntilANewerOneEndsIt)
{
    fixtures::TemporaryFolder config;
    desktop::SecretStoreFile store(config.file("secrets"));
    host::PairedDevices devices(store);
    const auto start = host::PairedDevices::Clock::now();
    const auto used = devices.newCode(start);
    ASSERT_TRUE(devices.redeem(used, phone, start));
    const auto replaced = devices.newCode(start);
    const auto inTime = devices.newCode(start + 1min);
    struct Case {
        std::string what, code;
        host::PairedDevices::Clock::time_point when;
        bool opens;
    };
    const std::vector<Case> cases {
        { "a code used already", used, start + 1s, false },
        { "a code a newer one ended", replaced, start + 1min, false },
        { "a guessed code", desktop::makeTypableSecret(host::PairedDevices::codeLength), start,
            false },
        { "no code", "", start, false },
        { "a code within its lifetime", inTime,
            start + 1min + host::PairedDevices::codeLifetime - 1s, true },
        { "that code again", inTime, start + 2min, false },
    };
    for (auto& each : cases) {
        auto key = devices.redeem(each.code, phone, each.when);
        ASSERT_EQ(key.hasValue(), each.opens) << each.what;
        if (key) {
            EXPECT_EQ(key->size(), 64u) << each.what;
            EXPECT_TRUE(devices.admits(*key)) << each.what;
        }
    }
    const auto late = devices.newCode(start);
    EXPECT_FALSE(devices.redeem(late, phone, start + host::PairedDevices::codeLifetime))
        << "a code at the end of its lifetime";
    EXPECT_EQ(devices.devices().size(), 2u);
    EXPECT_FALSE(devices.admits(""));
}

TEST(Pairing, aPairedBrowserOpensWhatTheTokenOpensAcrossRestartsUntilRemoved)
{
    fixtures::TemporaryFolder config;
    const auto path = config.file("pagewyn/secrets");
    std::string key;
    {
        fixtures::HostedApp hosted({ { "a.epub", "Alpha", "Ann", 2000 } }, true, storedIn(path));
        auto added = hosted.post("/settings-page/devices/add", "{}", hosted.page()).json();
        std::string address = added["addresses"][0]["address"];
        EXPECT_EQ(address.rfind(
                      "http://127.0.0.1:" + std::to_string(hosted.host().port()) + "/?pair=", 0),
            0u)
            << address;
        EXPECT_FALSE(added["addresses"][0]["qrCode"].empty());
        EXPECT_TRUE(added["loopbackOnly"]);

        auto code = address.substr(address.find("?pair=") + 6);
        auto paired = redeem(hosted, code);
        ASSERT_EQ(paired.status, 200) << paired.body;
        key = paired.json()["key"];
        EXPECT_EQ(paired.json()["name"], "Firefox on Android");
        EXPECT_EQ(redeem(hosted, code).status, 403) << "a code opens once";
        EXPECT_EQ(hosted.get("/state", device(hosted, key)).status, 200);
        EXPECT_EQ(hosted.get("/settings-page/devices", device(hosted, key)).status, 200);
        EXPECT_EQ(hosted.get("/state", device(hosted, key + "0")).status, 403);
    }
    // Only the key's digest is kept.
    auto kept = entriesOf(path, host::PairedDevices::entryKind);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].fields[2], foundation::sha256Hex(key));
    for (auto& field : kept[0].fields)
        EXPECT_EQ(field.find(key), std::string::npos);

    {
        fixtures::HostedApp restarted({ { "a.epub", "Alpha", "Ann", 2000 } }, true, storedIn(path));
        EXPECT_EQ(restarted.get("/state", device(restarted, key)).status, 200);
        auto listed = restarted.get("/settings-page/devices").json();
        ASSERT_EQ(listed["devices"].size(), 1u);
        EXPECT_EQ(listed["devices"][0]["name"], "Firefox on Android");
        EXPECT_FALSE(listed["devices"][0]["paired"].get<std::string>().empty());
        EXPECT_FALSE(listed["devices"][0]["lastUse"].get<std::string>().empty())
            << "the last use is kept when Pagewyn stops";
        EXPECT_TRUE(listed["notice"].is_null());

        auto removed = restarted.post("/settings-page/devices/remove",
            nlohmann::json { { "id", listed["devices"][0]["id"] } }.dump(), restarted.page());
        ASSERT_EQ(removed.status, 200);
        EXPECT_TRUE(removed.json()["devices"].empty());
        auto refused = restarted.get("/state", device(restarted, key));
        EXPECT_EQ(refused.status, 403);
        EXPECT_NE(refused.body.find("this device was removed: pair it again"), std::string::npos)
            << refused.body;
        EXPECT_NE(refused.body.find("\"Add a device\""), std::string::npos) << refused.body;
        EXPECT_EQ(restarted.get("/state").status, 200) << "the token opens as before";
    }
    fixtures::HostedApp again({}, true, storedIn(path));
    EXPECT_EQ(again.get("/state", device(again, key)).status, 403);
}

TEST(Pairing, onlyThisComputersBrowserPairsRemovesOrSeesTheCatalogPassword)
{
    fixtures::TemporaryFolder config;
    host::HostOptions options = storedIn(config.file("secrets"));
    options.catalog = std::make_shared<LibraryCatalog>();
    fixtures::HostedApp hosted({ { "a.epub", "Alpha", "Ann", 2000 } }, true, options);
    auto pair = [&] {
        std::string address = hosted.post("/settings-page/devices/add", "{}", hosted.page())
                                  .json()["addresses"][0]["address"];
        return redeem(hosted, address.substr(address.find("?pair=") + 6))
            .json()["key"]
            .get<std::string>();
    };
    const auto key = pair();
    const auto password = hosted.get("/settings-page/catalog").json()["password"];
    const auto id
        = hosted.get("/settings-page/devices").json()["devices"][0]["id"].get<std::string>();
    const auto removal = nlohmann::json { { "id", id } }.dump();

    const auto asDevice = device(hosted, key);
    struct Case {
        std::string what, method, path, body;
    };
    for (auto& each : std::vector<Case> {
             { "a new pairing code", "POST", "/settings-page/devices/add", "{}" },
             { "a removal", "POST", "/settings-page/devices/remove", removal },
             { "a new catalog password", "POST", "/settings-page/catalog/new-password", "{}" },
         }) {
        auto answer = hosted.post(each.path, each.body, asDevice);
        EXPECT_EQ(answer.status, 403) << each.what;
        EXPECT_NE(
            answer.body.find("only the browser on the computer Pagewyn runs on"), std::string::npos)
            << answer.body;
    }
    auto devices = hosted.get("/settings-page/devices", asDevice).json();
    EXPECT_EQ(devices["devices"].size(), 1u) << "the device still lists the devices";
    EXPECT_EQ(devices["canManage"], false);
    auto catalog = hosted.get("/settings-page/catalog", asDevice).json();
    EXPECT_TRUE(catalog["password"].is_null());
    EXPECT_EQ(catalog["canManage"], false);
    EXPECT_FALSE(catalog["addresses"].empty());
    EXPECT_EQ(hosted.get("/settings-page/catalog").json()["password"], password)
        << "the password is as it was";
    EXPECT_EQ(hosted.get("/settings-page/devices").json()["canManage"], true);
    EXPECT_EQ(hosted.get("/state", device(hosted, key)).status, 200)
        << "the device is still paired";
}

TEST(Pairing, wrongKeysAndGuessedCodesSlowTheirAddressOnly)
{
    host::RequestGuard guard(
        "token", { "127.0.0.1:1" }, {}, [](std::string_view key) { return key == "right"; });
    auto ask = [&](const std::string& from, const std::string& key) {
        httplib::Request request;
        request.method = "GET";
        request.path = "/state";
        request.remote_addr = from;
        request.headers.emplace("Host", "127.0.0.1:1");
        request.headers.emplace(host::RequestGuard::deviceHeader, key);
        return guard.check(request);
    };
    for (int attempt = 0; attempt < 10; ++attempt) {
        auto wrong = ask("192.0.2.1", "wrong" + std::to_string(attempt));
        EXPECT_FALSE(wrong.allowed);
        EXPECT_EQ(wrong.delay, 0s);
    }
    auto slowed = ask("192.0.2.1", "right");
    EXPECT_TRUE(slowed.allowed);
    EXPECT_EQ(slowed.delay, 1s);
    EXPECT_EQ(ask("192.0.2.2", "right").delay, 0s);

    fixtures::HostedApp hosted;
    for (int attempt = 0; attempt < 10; ++attempt)
        EXPECT_EQ(
            redeem(hosted, desktop::makeTypableSecret(host::PairedDevices::codeLength)).status,
            403);
    httplib::Request pairing;
    pairing.method = "POST";
    pairing.path = host::RequestGuard::pairingPath;
    pairing.remote_addr = "127.0.0.1";
    pairing.headers.emplace("Host", hosted.hostName());
    EXPECT_EQ(hosted.host().guard().check(pairing).delay, 1s)
        << "a flood of pairing attempts is slowed";
    auto byToken = pairing;
    byToken.method = "GET";
    byToken.path = "/state";
    byToken.headers.emplace(host::RequestGuard::tokenHeader, hosted.host().token());
    EXPECT_EQ(hosted.host().guard().check(byToken).delay, 0s)
        << "the launch's own page is not slowed";
}

TEST(Pairing, aStoreThatCannotBeTrustedPairsNoDevice)
{
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> damages {
        { "it was readable by other users",
            [](const std::string& path) { ::chmod(path.c_str(), 0644); } },
        { "it was cut short or damaged",
            [](const std::string& path) {
                std::filesystem::resize_file(path, std::filesystem::file_size(path) - 4);
            } },
        { "", [](const std::string& path) { std::filesystem::remove(path); } },
    };
    for (auto& [why, damage] : damages) {
        fixtures::TemporaryFolder config;
        const auto path = config.file("secrets");
        std::string key;
        {
            desktop::SecretStoreFile store(path);
            host::PairedDevices devices(store);
            key = *devices.redeem(devices.newCode(), phone);
        }
        damage(path);
        desktop::SecretStoreFile store(path);
        host::PairedDevices devices(store);
        EXPECT_FALSE(devices.admits(key)) << why;
        EXPECT_TRUE(devices.devices().empty()) << why;
        auto notice = devices.notice();
        if (why.empty()) {
            EXPECT_EQ(notice, std::nullopt) << "a first start has nothing to say";
        } else {
            ASSERT_TRUE(notice) << why;
            EXPECT_NE(notice->find(why), std::string::npos) << *notice;
        }
    }
}

TEST(Pairing, theDevicesAndTheCatalogPasswordKeepEachOtherInTheStore)
{
    fixtures::TemporaryFolder config;
    const auto path = config.file("secrets");
    std::string key;
    std::string password;
    {
        desktop::SecretStoreFile store(path);
        host::CatalogPassword catalog(store);
        host::PairedDevices devices(store);
        key = *devices.redeem(devices.newCode(), phone);
        auto kept = entriesOf(path, host::CatalogPassword::entryKind);
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_EQ(kept[0].fields, std::vector<std::string> { catalog.current() })
            << "a device added keeps the password";
        ASSERT_TRUE(catalog.renew());
        password = catalog.current();
        EXPECT_EQ(entriesOf(path, host::PairedDevices::entryKind).size(), 1u)
            << "a new password keeps the devices";
        ASSERT_TRUE(devices.redeem(devices.newCode(), phone));
        ASSERT_TRUE(devices.remove(devices.devices().back().id));
    }
    desktop::SecretStoreFile store(path);
    host::CatalogPassword catalog(store);
    host::PairedDevices devices(store);
    EXPECT_EQ(catalog.current(), password);
    EXPECT_TRUE(devices.admits(key));
    EXPECT_EQ(devices.devices().size(), 1u);
}

}
