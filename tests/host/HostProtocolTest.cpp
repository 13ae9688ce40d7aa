// The protocol as a page uses it: the snapshot of the screen, the events that act on it, the
// images it shows, and the stream that tells other pages of a change.
#include "tests/host/HostedApp.h"
#include "tests/support/WaitUntil.h"

#include "library/BookList.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <thread>

namespace {

const std::vector<fixtures::BookFile> threeBooks {
    { "z.epub", "Zola", "Zed", 3000 },
    { "a.epub", "austen", "Ann", 2000 },
    { "b.epub", "Balzac", "Bob", 1000 },
};

std::vector<fixtures::BookFile> numberedBooks(int count)
{
    std::vector<fixtures::BookFile> books;
    for (int n = 0; n < count; ++n) {
        char letter = static_cast<char>('A' + n % 26);
        books.push_back({ "book" + std::to_string(n) + ".epub",
            std::string(1, letter) + " title " + std::to_string(n), "Author", 1000 + n });
    }
    return books;
}

nlohmann::json commandOf(const nlohmann::json& state, const std::string& kind)
{
    for (auto& command : state["screen"]["table"]["commands"]) {
        if (command["kind"] == kind)
            return command;
    }
    return nullptr;
}

TEST(HostProtocol, theSnapshotDrawsTheHeaderBarAndTheRowsAsTheScreenHasThem)
{
    fixtures::HostedApp hosted(threeBooks);
    auto state = hosted.state("first=0&count=10&width=375&height=667");
    auto& table = state["screen"]["table"];
    EXPECT_EQ(table["rowCount"], 3);
    EXPECT_EQ(fixtures::snapshotTitle(state), "Recently Opened");
    EXPECT_EQ(fixtures::snapshotRows(state),
        (std::vector<std::string> { "Zola, Zed", "austen, Ann", "Balzac, Bob" }));
    EXPECT_TRUE(table["index"]["titles"].empty());

    auto& header = table["sections"][0]["header"];
    EXPECT_EQ(table["sections"][0]["headerHeight"], 50);
    std::map<std::string, std::vector<double>> frames;
    for (auto& subview : header["subviews"]) {
        if (subview["class"] == "Button") {
            frames[subview["label"]] = subview["frame"].get<std::vector<double>>();
            EXPECT_EQ(subview["events"], nlohmann::json::array({ "touchUpInside" }));
            EXPECT_TRUE(subview["image"].is_object());
        }
    }
    EXPECT_EQ(frames,
        (std::map<std::string, std::vector<double>> { { "info", { 24, 14, 24, 24 } },
            { "open", { 72, 14, 24, 24 } }, { "sort", { 279, 14, 24, 24 } },
            { "settings", { 327, 14, 24, 24 } } }));

    // A wider page moves the right-hand buttons with the edge.
    auto wide = hosted.state("width=1024&height=768");
    for (auto& subview : wide["screen"]["table"]["sections"][0]["header"]["subviews"]) {
        if (subview.value("label", "") == "settings") {
            EXPECT_EQ(subview["frame"][0], 1024 - 48);
        }
    }
}

TEST(HostProtocol, everyImageTheSnapshotShowsCanBeFetched)
{
    fixtures::HostedApp hosted(threeBooks);
    auto state = hosted.state();
    auto ids = fixtures::imageIds(state["screen"]["table"]["sections"][0]["header"]);
    for (auto& row : state["screen"]["table"]["rows"]) {
        auto rowIds = fixtures::imageIds(row["cell"]);
        ids.insert(ids.end(), rowIds.begin(), rowIds.end());
    }
    ASSERT_EQ(ids.size(), 4u + 3u);
    for (auto& id : ids) {
        auto image = hosted.get("/images/" + id);
        EXPECT_EQ(image.status, 200) << id;
        EXPECT_EQ(image.header("Content-Type"), "image/png");
        EXPECT_EQ(image.body.substr(1, 3), "PNG");
        EXPECT_EQ(hosted.get("/images/" + id + "?side=108").status, 200) << id;
    }
    for (auto side : { "0", "-3", "12px", "", "99999" })
        EXPECT_EQ(hosted.get("/images/" + ids.front() + "?side=" + side).status, 400) << side;
    EXPECT_EQ(hosted.get("/images/0000000000000000").status, 404);
    EXPECT_EQ(hosted.get("/images/../../etc/passwd").status, 404);
}

TEST(HostProtocol, theSortButtonCyclesTheOrderTheTitleAndTheIndexAndScrollsToTheTop)
{
    fixtures::HostedApp hosted(threeBooks);
    auto sort = hosted.headerButtonId("sort");
    // The rows and index of each order are SortList's; here, what the page is sent.
    for (auto [title, first] :
        std::vector<std::pair<std::string, std::string>> { { "Books by Title", "Balzac, Bob" },
            { "Books by Author", "austen, Ann" }, { "Recently Opened", "Zola, Zed" } }) {
        auto before = hosted.host().state().version();
        auto answer = hosted.event({ { "type", "touchUpInside" }, { "view", sort } });
        ASSERT_EQ(answer.status, 200) << answer.body;
        auto state = answer.json();
        EXPECT_GT(state["version"].get<std::uint64_t>(), before);
        EXPECT_EQ(fixtures::snapshotTitle(state), title);
        EXPECT_EQ(fixtures::snapshotRows(state).at(0), first);
        EXPECT_EQ(state["screen"]["table"]["index"]["titles"].empty(), title == "Recently Opened");
        auto scroll = commandOf(state, "scrollToRow");
        ASSERT_FALSE(scroll.is_null()) << title;
        EXPECT_EQ(scroll["rows"][0]["row"], 0);
        EXPECT_EQ(scroll["position"], "top");
        EXPECT_EQ(scroll["animated"], true);
        // A command reaches one page once.
        EXPECT_TRUE(commandOf(hosted.state(), "scrollToRow").is_null());
    }
}

TEST(HostProtocol, onlyTheVisibleRowsAreInTheSnapshotWhateverTheLibrarySize)
{
    for (int books : { 12, 150 }) {
        fixtures::HostedApp hosted(numberedBooks(books));
        auto state = hosted.state("first=7&count=5&width=375&height=300");
        auto& table = state["screen"]["table"];
        EXPECT_EQ(table["rowCount"], books);
        ASSERT_EQ(table["rows"].size(), 5u) << books << " books";
        for (std::size_t n = 0; n < 5; ++n)
            EXPECT_EQ(table["rows"][n]["flat"], 7 + static_cast<int>(n));
        EXPECT_EQ(table["contentHeight"], 50 + 56 * books);
    }
}

TEST(HostProtocol, aConfirmedDeleteRemovesTheItemAndFadesItsRow)
{
    fixtures::HostedApp hosted(threeBooks);
    auto answer = hosted.event({ { "type", "deleteRow" }, { "section", 0 }, { "row", 1 } });
    ASSERT_EQ(answer.status, 200) << answer.body;
    auto state = answer.json();
    EXPECT_FALSE(std::filesystem::exists(hosted.app().library().itemPath("a.epub")));
    EXPECT_EQ(
        fixtures::snapshotRows(state), (std::vector<std::string> { "Zola, Zed", "Balzac, Bob" }));
    auto fade = commandOf(state, "deleteRows");
    ASSERT_FALSE(fade.is_null());
    EXPECT_EQ(fade["animation"], "fade");
    EXPECT_EQ(fade["rows"][0]["row"], 1);
}

TEST(HostProtocol, theStreamTellsAnotherPageOfEveryChange)
{
    fixtures::HostedApp hosted(threeBooks);
    auto sort = hosted.headerButtonId("sort");
    auto before = hosted.host().state().version();
    std::string received;
    std::atomic<bool> connected = false;
    std::thread listener([&] {
        httplib::Client client("127.0.0.1", hosted.host().port());
        client.set_read_timeout(10);
        client.Get("/events", hosted.page(), [&](const char* data, std::size_t length) {
            received.append(data, length);
            connected = true;
            return received.find("\"version\":" + std::to_string(before + 1)) == std::string::npos;
        });
    });
    // Bounded by the listener's own read timeout: a stream that never opens fails, it does not
    // hang.
    EXPECT_TRUE(fixtures::waitUntil([&] { return connected.load(); }));
    auto answer = hosted.event({ { "type", "touchUpInside" }, { "view", sort } });
    listener.join();
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(received,
        "event: changed\ndata: {\"version\":" + std::to_string(before) + "}\n\n"
            + "event: changed\ndata: {\"version\":" + std::to_string(before + 1) + "}\n\n");
}

TEST(HostProtocol, whileTheApplicationStartsPagesSeeHowFarTheScanHasComeAndCannotAct)
{
    fixtures::HostedApp hosted(threeBooks, false);
    hosted.host().state().setStartupProgress(1200, 100000);
    auto starting = hosted.get("/state").json();
    EXPECT_EQ(starting["starting"]["read"], 1200);
    EXPECT_EQ(starting["starting"]["found"], 100000);
    EXPECT_GE(starting["starting"]["elapsed"].get<std::int64_t>(), 0);
    EXPECT_FALSE(starting.contains("screen"));
    auto event = hosted.post("/event", R"({"type":"tapRow","row":0,"version":0})", hosted.page());
    EXPECT_EQ(event.status, 503);
    hosted.host().state().applicationReady();
    EXPECT_EQ(hosted.state()["screen"]["table"]["rowCount"], 3);
}

}

TEST(HostProtocol, thePageNamesEveryModuleOfTheRendererForPreloading)
{
    fixtures::HostedApp hosted(threeBooks);
    auto page = hosted.get("/");
    ASSERT_EQ(page.status, 200);
    std::regex preload(R"re(<link rel="modulepreload" href="(/[a-z0-9-]+\.js)">)re");
    std::set<std::string> modules;
    for (std::sregex_iterator match(page.body.begin(), page.body.end(), preload), end; match != end;
         ++match)
        modules.insert((*match)[1]);
    EXPECT_TRUE(modules.contains("/app.js"));
    EXPECT_TRUE(modules.contains("/table.js"));
    EXPECT_LT(page.body.find("modulepreload"), page.body.find("</head>"));
    // Sent as they are even to a browser that takes compressed answers: on this machine
    // compressing only costs time and memory.
    auto compressing = hosted.page();
    compressing.emplace("Accept-Encoding", "gzip, deflate, br, zstd");
    for (auto& module : modules) {
        auto answer = hosted.get(module, compressing);
        EXPECT_EQ(answer.status, 200) << module;
        EXPECT_FALSE(answer.headers.contains("Content-Encoding")) << module;
        EXPECT_EQ(answer.body.rfind("//", 0), 0u)
            << module; // the file as it is, opening with its comment
    }
}
