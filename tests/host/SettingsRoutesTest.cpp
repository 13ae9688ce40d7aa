// The settings page the platform draws for "app-settings:": its facts served to the launch's
// pages only, the folder handed to the desktop's opener, and the request itself handed to the
// one page whose tap asked for it.
#include "platform/host/routes/SettingsRoutes.h"
#include "tests/host/HostedApp.h"
#include "tests/support/WaitUntil.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

namespace fs = std::filesystem;

void writeBytes(const std::string& path, std::size_t count)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(count, 'x');
}

// Names a script as the folder opener for the test's length: it records the folder it was given.
class RecordingOpener {
public:
    explicit RecordingOpener(const std::string& folder)
        : m_script(folder + "/opener.sh")
        , m_record(folder + "/opened")
    {
        std::ofstream(m_script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << m_record
                                << ".part' && mv '" << m_record << ".part' '" << m_record << "'\n";
        ::chmod(m_script.c_str(), 0700);
        ::setenv("PAGEWYN_FOLDER_OPENER", m_script.c_str(), 1);
    }
    ~RecordingOpener() { ::unsetenv("PAGEWYN_FOLDER_OPENER"); }

    // The folder the opener was given, once it has run; nothing if it did not run within ten
    // seconds.
    std::optional<std::string> opened() const
    {
        fixtures::waitUntil([&] { return fs::exists(m_record); });
        std::ifstream file(m_record);
        if (!file)
            return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    bool ran() const { return fs::exists(m_record); }

private:
    std::string m_script;
    std::string m_record;
};

TEST(SettingsRoutes, thePageTellsTheLibraryFolderItsItemsAndBytesAndTheHighlightDatabase)
{
    fixtures::HostedApp hosted;
    const auto& folder = hosted.app().library().path();
    writeBytes(folder + "/notes.txt", 1000);
    writeBytes(folder + "/unpacked.epub/OEBPS/chapter.xhtml", 500);

    auto answer = hosted.get("/settings-page");
    ASSERT_EQ(answer.status, 200) << answer.body;
    auto page = answer.json();
    EXPECT_EQ(page["name"], "Pagewyn");
    EXPECT_EQ(page["version"], "1.0.3");
    EXPECT_EQ(page["libraryFolder"], folder);
    EXPECT_EQ(page["itemCount"], 1)
        << "only books are items, not what lies inside a book's folder or beside it";
    EXPECT_EQ(page["byteCount"], 1500);
    EXPECT_EQ(page["byteCountText"], "1.5 kB");
    EXPECT_EQ(page["countComplete"], true);
    EXPECT_EQ(page["highlightDatabase"], folder + "/highlights.realm");
    EXPECT_EQ(page["highlightDatabaseExists"], false);

    writeBytes(folder + "/highlights.realm", 24);
    page = hosted.get("/settings-page").json();
    EXPECT_EQ(page["highlightDatabaseExists"], true);
    EXPECT_EQ(page["itemCount"], 1) << "the highlight database is no book";
    EXPECT_EQ(page["byteCount"], 1524);
}

TEST(SettingsRoutes, thePageTellsTheCachesSizeAndClearsIt)
{
    fixtures::HostedApp hosted;
    EXPECT_EQ(hosted.get("/settings-page").json()["metadataCacheInUse"], false);
    EXPECT_EQ(hosted.post("/settings-page/clear-cache", "{}", hosted.page()).status, 409);

    std::uint64_t bytes = 2048;
    host::setMetadataCacheActions({ [&]() -> std::optional<std::uint64_t> { return bytes; },
        [&] {
            bytes = 0;
            return true;
        } });
    auto page = hosted.get("/settings-page").json();
    EXPECT_EQ(page["metadataCacheInUse"], true);
    EXPECT_EQ(page["metadataCacheBytesText"], "2.0 kB");
    EXPECT_EQ(hosted
                  .post("/settings-page/clear-cache", "{}", hosted.page(),
                      "application/x-www-form-urlencoded")
                  .status,
        415);
    EXPECT_EQ(hosted.post("/settings-page/clear-cache", "{}", {}).status, 403);
    EXPECT_EQ(bytes, 2048u);
    auto cleared = hosted.post("/settings-page/clear-cache", "{}", hosted.page());
    host::setMetadataCacheActions({});
    ASSERT_EQ(cleared.status, 200) << cleared.body;
    EXPECT_EQ(cleared.json()["metadataCacheBytes"], 0);
}

TEST(SettingsRoutes, onlyTheLaunchsOwnPagesReadThePageOrOpenTheFolder)
{
    fixtures::HostedApp hosted;
    fixtures::TemporaryFolder scratch;
    RecordingOpener opener(scratch.path());
    EXPECT_EQ(hosted.get("/settings-page", {}).status, 403);
    EXPECT_EQ(hosted.get("/settings-page", { { "X-Pagewyn-Token", "wrong" } }).status, 403);
    EXPECT_EQ(hosted.post("/settings-page/open-folder", "{}", {}).status, 403);
    auto otherSite = hosted.page();
    otherSite.emplace("Origin", "http://example.com");
    EXPECT_EQ(hosted.post("/settings-page/open-folder", "{}", otherSite).status, 403);
    // A form of another page cannot send JSON.
    EXPECT_EQ(hosted
                  .post("/settings-page/open-folder", "{}", hosted.page(),
                      "application/x-www-form-urlencoded")
                  .status,
        415);
    EXPECT_FALSE(opener.ran());
}

// The library folder goes to the desktop's opener; a folder that is gone is neither opened nor
// made, and an opener that cannot be started, or that fails, is a failure, not a success.
TEST(SettingsRoutes, openFolderHandsTheLibraryFolderToTheDesktopsOpenerOrSaysWhyNot)
{
    struct Case {
        const char* what;
        int status;
        std::string error;
        std::string opener; // in place of the recording one: a path, or a script's body
    };
    for (const Case& example :
        { Case { "a folder", 200, "" }, Case { "a folder that is gone", 404, "does not exist" },
            Case { "an opener that cannot start", 502, "could not be started",
                "/nonexistent/pagewyn-opener" },
            Case { "an opener that fails", 502, "ended with status 3: no file manager here",
                "echo 'no file manager here' >&2; exit 3" } }) {
        fixtures::HostedApp hosted;
        fixtures::TemporaryFolder scratch;
        RecordingOpener opener(scratch.path());
        auto folder = hosted.app().library().path();
        if (example.status == 404)
            fs::remove_all(folder);
        std::string replacement = example.opener;
        if (replacement.find(' ') != std::string::npos) {
            replacement = scratch.path() + "/failing-opener.sh";
            std::ofstream(replacement) << "#!/bin/sh\n" << example.opener << "\n";
            ::chmod(replacement.c_str(), 0700);
        }
        if (!replacement.empty())
            ::setenv("PAGEWYN_FOLDER_OPENER", replacement.c_str(), 1);
        auto answer = hosted.post("/settings-page/open-folder", "{}", hosted.page());
        ASSERT_EQ(answer.status, example.status) << example.what << ": " << answer.body;
        if (example.status == 200) {
            EXPECT_EQ(opener.opened(), folder);
            continue;
        }
        EXPECT_NE(answer.json()["error"].get<std::string>().find(example.error), std::string::npos)
            << answer.body;
        EXPECT_FALSE(opener.ran()) << example.what;
        EXPECT_EQ(fs::exists(folder), example.status != 404) << example.what;
    }
}

TEST(SettingsRoutes, theSettingsRequestGoesOnlyToThePageWhoseTapAskedForIt)
{
    fixtures::HostedApp hosted({ { "a.epub", "Alpha", "Ann", 1000 } });
    auto settings = hosted.headerButtonId("settings");
    auto tapped = hosted.event({ { "type", "touchUpInside" }, { "view", settings } });
    ASSERT_EQ(tapped.status, 200) << tapped.body;
    EXPECT_EQ(tapped.json()["openURLs"], nlohmann::json({ "app-settings:" }));
    // Another tab told of the change looks at the state: the request is not shown there again.
    EXPECT_EQ(hosted.state()["openURLs"], nlohmann::json::array());

    auto twice = hosted.event({ { "type", "touchUpInside" }, { "view", settings } });
    EXPECT_EQ(twice.json()["openURLs"], nlohmann::json({ "app-settings:" }))
        << "each tap is one request";
    EXPECT_TRUE(twice.json()["presented"].empty()) << "the application presents nothing of its own";
}

}
