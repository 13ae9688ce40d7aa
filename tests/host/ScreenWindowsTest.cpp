// Each browser tab its own window of the application: what one tab does to its screen stays there,
// what it does to the library every tab shows.
#include "tests/host/HostedApp.h"

#include "platform/host/server/ScreenWindows.h"

#include <gtest/gtest.h>

namespace {

const std::vector<fixtures::BookFile> threeBooks {
    { "z.epub", "Zola", "Zed", 3000 },
    { "a.epub", "austen", "Ann", 2000 },
    { "b.epub", "Balzac", "Bob", 1000 },
};

// One browser tab: it sends the name of its window with every request, "new" until it has one.
struct Tab {
    fixtures::HostedApp& hosted;
    std::string name = "new";
    nlohmann::json drawn;

    httplib::Headers headers() const
    {
        auto headers = hosted.page();
        headers.emplace("X-Pagewyn-Window", name);
        return headers;
    }
    nlohmann::json look()
    {
        auto answer = hosted.get("/state?first=0&count=20&width=375&height=667", headers());
        EXPECT_EQ(answer.status, 200) << answer.body;
        drawn = answer.json();
        name = drawn.value("windowName", name);
        return drawn;
    }
    // The event, sent with the version this tab drew last.
    fixtures::HostedApp::Answer act(nlohmann::json event)
    {
        event["version"] = drawn.value("version", 0);
        auto answer = hosted.post("/event", event.dump(), headers());
        auto json = answer.json();
        drawn = answer.status == 200 ? json : json["state"];
        name = drawn.value("windowName", name);
        return answer;
    }
    std::uint64_t button(const std::string& label)
    {
        look();
        for (auto& subview : drawn["screen"]["table"]["sections"][0]["header"]["subviews"]) {
            if (subview.value("label", "") == label)
                return subview["id"].get<std::uint64_t>();
        }
        ADD_FAILURE() << "no header button " << label;
        return 0;
    }
    std::string presentedTitle() const
    {
        auto& presented = drawn["presented"];
        if (presented.empty())
            return "";
        auto& top = presented.back();
        return top.contains("reader") ? "reader: " + top["reader"].value("title", "")
                                      : top.value("title", "");
    }
};

}

TEST(ScreenWindows, eachTabHasItsOwnScreenOverTheOneLibrary)
{
    fixtures::HostedApp hosted(threeBooks);
    Tab laptop { hosted }, phone { hosted };
    laptop.look();
    phone.look();
    ASSERT_NE(laptop.name, "new");
    ASSERT_NE(laptop.name, phone.name);

    // The search text and an open book stay in the tab that typed or tapped them.
    ASSERT_EQ(laptop.act({ { "type", "search" }, { "text", "zola" } }).status, 200);
    EXPECT_EQ(fixtures::snapshotRows(laptop.drawn), (std::vector<std::string> { "Zola, Zed" }));
    EXPECT_EQ(fixtures::snapshotRows(phone.look()).size(), 3u);
    ASSERT_EQ(phone.act({ { "type", "tapRow" }, { "row", 2 } }).status, 200);
    EXPECT_EQ(phone.presentedTitle(), "reader: Balzac");
    laptop.look();
    EXPECT_EQ(laptop.presentedTitle(), "");

    // Opening the book moved it to the top of the list every tab shows; the laptop's search still
    // filters it.
    EXPECT_EQ(fixtures::snapshotRows(laptop.drawn), (std::vector<std::string> { "Zola, Zed" }));
    ASSERT_EQ(laptop.act({ { "type", "search" }, { "text", "" } }).status, 200);
    EXPECT_EQ(fixtures::snapshotRows(laptop.drawn).front(), "Balzac, Bob");

    // A sort chosen in one tab re-sorts the list the other shows.
    ASSERT_EQ(
        laptop.act({ { "type", "touchUpInside" }, { "view", laptop.button("sort") } }).status, 200);
    auto title = fixtures::snapshotTitle(laptop.drawn);
    Tab tablet { hosted };
    EXPECT_EQ(fixtures::snapshotTitle(tablet.look()), title);

    // A reload keeps the tab's screen; a tab whose window is gone gets a new one at the library,
    // and its action is refused.
    Tab reloaded { hosted, phone.name };
    EXPECT_EQ(reloaded.look()["presented"].size(), 1u);
    Tab forgotten { hosted, std::string(32, 'f') };
    forgotten.drawn = { { "version", hosted.host().state().version() } };
    auto refused = forgotten.act({ { "type", "tapRow" }, { "row", 0 } });
    EXPECT_EQ(refused.status, 409);
    EXPECT_NE(forgotten.name, std::string(32, 'f'));
    EXPECT_EQ(forgotten.presentedTitle(), "");
}

TEST(ScreenWindows, aDeleteSeenOnlyByOneTabIsRefusedInTheOtherAndClosesItsReader)
{
    fixtures::HostedApp hosted(threeBooks);
    Tab laptop { hosted }, phone { hosted };
    laptop.look();
    phone.look();
    ASSERT_EQ(phone.act({ { "type", "tapRow" }, { "row", 1 } }).status, 200);
    ASSERT_EQ(phone.presentedTitle(), "reader: austen");

    // The phone's open moved its book to the top: the laptop's swipe on the row it drew is refused.
    EXPECT_EQ(laptop.act({ { "type", "deleteRow" }, { "row", 2 } }).status, 409);
    EXPECT_EQ(fixtures::snapshotRows(laptop.drawn).front(), "austen, Ann");

    // Deleting the book the phone reads closes its reader there, with a notice.
    ASSERT_EQ(laptop.act({ { "type", "deleteRow" }, { "row", 0 } }).status, 200);
    EXPECT_FALSE(std::filesystem::exists(hosted.app().library().itemPath("a.epub")));
    phone.look();
    EXPECT_EQ(phone.presentedTitle(), "Book deleted");
    EXPECT_EQ(fixtures::snapshotRows(phone.drawn),
        (std::vector<std::string> { "Zola, Zed", "Balzac, Bob" }));
}

TEST(ScreenWindows, windowsAreKeptWhileTheirTabIsThereAndTheIdlestGoFirst)
{
    int made = 0;
    host::ScreenWindows windows([&made]() -> foundation::Result<std::shared_ptr<ui::Window>> {
        ++made;
        return std::make_shared<ui::Window>();
    });
    auto start = host::ScreenWindows::Clock::now();
    auto open = [&](const std::string& name, std::chrono::minutes at) {
        return (*windows.take(name, 0, start + at))->name;
    };

    std::vector<std::string> names;
    for (std::size_t n = 0; n < host::ScreenWindows::maximumWindows; ++n)
        names.push_back(open("new", std::chrono::minutes(n)));
    windows.streamOpened(names[0]);
    // Beyond the bound the one idle longest goes, but not one whose tab is still connected.
    auto extra = open("new", std::chrono::minutes(20));
    EXPECT_EQ(windows.size(), host::ScreenWindows::maximumWindows);
    EXPECT_EQ(open(names[0], std::chrono::minutes(21)), names[0]);
    EXPECT_FALSE(windows.keeps(names[1]));
    EXPECT_TRUE(windows.keeps(names[2]));
    // Past their lifetime, windows without a tab are dropped; a connected one stays.
    auto late = std::chrono::minutes(21) + host::ScreenWindows::idleLifetime;
    open("new", late);
    EXPECT_TRUE(windows.keeps(names[0]));
    EXPECT_FALSE(windows.keeps(extra));
    EXPECT_EQ(windows.size(), 2u);
    EXPECT_EQ(made, static_cast<int>(host::ScreenWindows::maximumWindows) + 2);
}
