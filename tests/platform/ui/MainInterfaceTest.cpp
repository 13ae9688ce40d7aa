// The main interface description: what it gives, and what it refuses.
#include "platform/ui/MainInterface.h"

#include <gtest/gtest.h>

namespace {

TEST(MainInterface, theApplicationsOwnDescriptionNamesTheLibraryScreen)
{
    auto interface = ui::MainInterface::load(ui::MainInterface::defaultPath());
    ASSERT_TRUE(interface) << interface.error().description();
    EXPECT_EQ(interface->rootViewControllerClass, "Pagewyn.ViewController");
    EXPECT_EQ(interface->windowSize, (ui::Size { 375, 667 }));
}

TEST(MainInterface, readsWindowSizeClassAndValues)
{
    auto interface = ui::MainInterface::parse(
        R"({ "window": { "width": 1024, "height": 768.5 }, "rootViewController": { "class": "M.C", "values": { "style": "1" } } })");
    ASSERT_TRUE(interface);
    EXPECT_EQ(interface->windowSize, (ui::Size { 1024, 768.5 }));
    EXPECT_EQ(interface->rootViewControllerClass, "M.C");
    EXPECT_EQ(interface->rootViewControllerValues.at("style"), "1");
}

TEST(MainInterface, refusesDescriptionsItCannotUse)
{
    const std::vector<std::pair<const char*, const char*>> cases {
        { "not JSON", "{ window" },
        { "not an object", "[1, 2]" },
        { "no root controller", R"({ "window": { "width": 1, "height": 1 } })" },
        { "a root controller without class", R"({ "rootViewController": {} })" },
        { "an empty class", R"({ "rootViewController": { "class": "" } })" },
        { "a zero width",
            R"({ "window": { "width": 0, "height": 5 }, "rootViewController": { "class": "A" } })" },
        { "a negative height",
            R"({ "window": { "width": 5, "height": -5 }, "rootViewController": { "class": "A" } })" },
        { "an absurd size",
            R"({ "window": { "width": 1e300, "height": 5 }, "rootViewController": { "class": "A" } })" },
        { "a size as text",
            R"({ "window": { "width": "5", "height": 5 }, "rootViewController": { "class": "A" } })" },
        { "a value that is no text",
            R"({ "rootViewController": { "class": "A", "values": { "style": 1 } } })" },
    };
    for (auto& [what, text] : cases)
        EXPECT_FALSE(ui::MainInterface::parse(text)) << what;
    EXPECT_FALSE(ui::MainInterface::load("/nonexistent/Main.interface.json"));
}

}
