// The alert as the browser receives it: styled runs where the application styled its texts, the
// plain text where it could not, the panel's colours, and the buttons.
#include "platform/host/snapshot/AlertSnapshot.h"
#include "app/AboutAlert.h"
#include "tests/host/HostedApp.h"

#include <gtest/gtest.h>

namespace {

std::string joinedText(const nlohmann::json& runs)
{
    std::string text;
    for (auto& run : runs)
        text += run["text"].get<std::string>();
    return text;
}

const nlohmann::json* runContaining(const nlohmann::json& runs, const std::string& words)
{
    for (auto& run : runs) {
        if (run["text"].get<std::string>().find(words) != std::string::npos)
            return &run;
    }
    return nullptr;
}

TEST(AlertSnapshot, theAboutAlertGoesToThePageWithItsStyledTextPanelAndOneButton)
{
    fixtures::HostedApp hosted({ { "a.epub", "Alpha", "Ann", 1000 } });
    auto shown
        = hosted.event({ { "type", "touchUpInside" }, { "view", hosted.headerButtonId("info") } });
    ASSERT_EQ(shown.status, 200) << shown.body;
    auto presented = shown.json()["presented"];
    ASSERT_EQ(presented.size(), 1u);
    auto alert = presented[0];
    EXPECT_EQ(alert["kind"], "alert");

    EXPECT_FALSE(alert.contains("title")) << "the styled title shows in place of the plain one";
    ASSERT_EQ(alert["titleRuns"].size(), 1u);
    auto title = alert["titleRuns"][0];
    EXPECT_EQ(title["text"], "Pagewyn 1.0.3");
    EXPECT_EQ(title["font"]["family"], "System");
    EXPECT_EQ(title["font"]["bold"], true);
    EXPECT_EQ(title["font"]["italic"], false);
    EXPECT_EQ(title["font"]["size"], 17);
    EXPECT_EQ(title["color"], nlohmann::json({ 0, 0, 0, 1 }));

    EXPECT_FALSE(alert.contains("message"))
        << "the fragment's source never reaches the page when it was rendered";
    auto& message = alert["messageRuns"];
    EXPECT_EQ(joinedText(message),
        "\nPagewyn is an e-book reader with commentary from AI\n\n\xC2\xA9 2026 The Pagewyn "
        "developers\n"
        "Pagewyn is made possible by the FolioReader project\n");
    for (auto& run : message)
        EXPECT_EQ(run["alignment"], "center") << run["text"];
    auto* description = runContaining(message, "commentary from AI");
    auto* credit = runContaining(message, "made possible");
    ASSERT_TRUE(description && credit);
    EXPECT_EQ((*description)["font"]["family"], "Arial");
    EXPECT_EQ((*description)["font"]["size"], 18);
    EXPECT_EQ((*description)["color"], nlohmann::json({ 0, 0, 0, 1 }));
    EXPECT_EQ((*credit)["font"]["family"], "Arial");
    EXPECT_EQ((*credit)["font"]["size"], 13.5);
    EXPECT_EQ((*credit)["font"]["bold"], false);

    EXPECT_EQ(alert["panel"]["background"], nlohmann::json({ 2.0 / 3, 2.0 / 3, 2.0 / 3, 0.6 }));
    EXPECT_EQ(alert["panel"]["tint"], nlohmann::json({ 0, 0, 0, 1 }));
    EXPECT_EQ(
        alert["actions"], nlohmann::json::parse(R"([{ "title": "ok", "style": "default" }])"));

    auto closed = hosted.event({ { "type", "alertAction" }, { "index", 0 } });
    ASSERT_EQ(closed.status, 200) << closed.body;
    EXPECT_TRUE(closed.json()["presented"].empty());
    EXPECT_EQ(fixtures::snapshotRows(closed.json()), (std::vector<std::string> { "Alpha, Ann" }));
}

TEST(AlertSnapshot, aMessageThatCannotBeReadIsSentPlainWhileTheTitleStaysStyled)
{
    auto json = host::alertSnapshot(*makeAboutAlert("<b>caf\xE9</b>"));
    EXPECT_EQ(json["message"], "<b>caf\xE9</b>");
    EXPECT_FALSE(json.contains("messageRuns"));
    ASSERT_EQ(json["titleRuns"].size(), 1u);
    EXPECT_EQ(json["titleRuns"][0]["font"]["bold"], true);
    EXPECT_EQ(json["panel"]["background"][3], 0.6);
    EXPECT_EQ(json["actions"].size(), 1u);
}

TEST(AlertSnapshot, aPlainAlertKeepsItsTextsAndButtonsAndPaintsNoPanel)
{
    auto alert = ui::AlertController::alertControllerWithTitle(
        "Delete?", "It goes for good.", ui::AlertControllerStyle::alert);
    alert->addAction(ui::AlertAction::actionWithTitle("Cancel", ui::AlertActionStyle::cancel, {}));
    alert->addAction(
        ui::AlertAction::actionWithTitle("Delete", ui::AlertActionStyle::destructive, {}));
    auto json = host::alertSnapshot(*alert);
    EXPECT_EQ(json["title"], "Delete?");
    EXPECT_EQ(json["message"], "It goes for good.");
    EXPECT_FALSE(json.contains("titleRuns") || json.contains("messageRuns"));
    EXPECT_EQ(json["panel"], nlohmann::json::object());
    EXPECT_EQ(json["actions"],
        nlohmann::json::parse(
            R"([{ "title": "Cancel", "style": "cancel" }, { "title": "Delete", "style": "destructive" }])"));
}

TEST(AlertSnapshot, aRunsFaceNameGivesItsFamilyWeightAndSlant)
{
    struct Case {
        const char* name;
        const char* family;
        bool bold;
        bool italic;
    };
    const Case cases[] = {
        { "Arial", "Arial", false, false },
        { "Arial-Bold", "Arial", true, false },
        { "Times-Italic", "Times", false, true },
        { "Times-BoldItalic", "Times", true, true },
        { "System-Bold", "System", true, false },
        { "Avenir-Light", "Avenir-Light", false, false },
        { "-Bold", "-Bold", false, false },
    };
    for (const auto& each : cases) {
        ui::AttributedString text("x",
            { std::make_shared<ui::Font>(each.name, 12), std::nullopt,
                ui::TextAlignment::natural });
        auto run = host::runsJson(text)[0];
        EXPECT_EQ(run["font"]["name"], each.name);
        EXPECT_EQ(run["font"]["family"], each.family) << each.name;
        EXPECT_EQ(run["font"]["bold"], each.bold) << each.name;
        EXPECT_EQ(run["font"]["italic"], each.italic) << each.name;
        EXPECT_FALSE(run.contains("color")) << "a run without a colour takes the text's own";
        EXPECT_EQ(run["alignment"], "start");
    }
}

}
