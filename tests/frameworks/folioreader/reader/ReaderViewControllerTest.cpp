// The reader screen as the browser sees it: the book's parts and the settings in its description,
// the close button, a message instead of pages for a broken book, and the highlight actions.
#include "frameworks/folioreader/reader/ReaderViewController.h"
#include "tests/frameworks/folioreader/WrittenBook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

using fixtures::EpubFixture;
using fixtures::Shape;

struct OpenReader {
    fixtures::TemporaryFolder folder;
    std::shared_ptr<folioreader::ReaderViewController> reader;

    explicit OpenReader(
        const EpubFixture& book, std::shared_ptr<folioreader::FolioReaderConfig> config = nullptr)
    {
        if (!config) {
            config = std::make_shared<folioreader::FolioReaderConfig>();
            config->highlightDatabase.fileURL
                = foundation::URL::fileURLWithPath(folder.file("highlights.realm"));
        }
        std::string path = fixtures::writeBook(book, Shape::zipped, folder, "My Book.epub");
        reader = std::make_shared<folioreader::ReaderViewController>(
            config, folioreader::ReaderSession::open(path));
        reader->view();
    }
};

TEST(ReaderViewController, describesTheBookForTheBrowser)
{
    EpubFixture book { .title = "Moby-Dick", .author = "Herman Melville", .version = 2 };
    OpenReader open(book);
    auto description = open.reader->readerDescription();
    EXPECT_EQ(description.session, open.reader->readerSession());
    EXPECT_EQ(description.book, "My Book.epub");
    EXPECT_EQ(description.title, "Moby-Dick");
    EXPECT_FALSE(description.failure);
    auto part = [](const char* path) {
        return ui::ReaderDescription::Page {
            .path = path, .linear = true, .fixed = false, .spreads = true, .side = ""
        };
    };
    EXPECT_EQ(description.spine,
        (std::vector { part("OEBPS/text/chapter-1.xhtml"), part("OEBPS/text/chapter-2.xhtml") }));
    EXPECT_EQ(description.pageProgression, "");
    EXPECT_EQ(description.writingMode, "");
    ASSERT_EQ(description.contents.size(), 2u);
    EXPECT_EQ(description.contents[1].title, "Chapter Two");
    EXPECT_EQ(description.contents[1].spine, 1u);
    EXPECT_EQ(description.closeButton, open.reader->closeButton()->viewId());
    EXPECT_EQ(description.settings, readerSettings(open.reader->config()));
    EXPECT_TRUE(description.highlightsAvailable);

    EXPECT_EQ(open.reader->closeButton()->accessibilityLabel(), "close");
    EXPECT_EQ(open.reader->messageLabel(), nullptr);
}

TEST(ReaderViewController, theChromeFollowsTheConfiguration)
{
    auto config = std::make_shared<folioreader::FolioReaderConfig>();
    config->chromeColor = ui::Color::redColor();
    config->showsTitle = true;
    config->alwaysHidesChrome = true;
    config->startsInNightMode = true;
    OpenReader open(EpubFixture { .title = "Hidden" }, config);
    EXPECT_EQ(open.reader->titleLabel()->text(), "Hidden");
    EXPECT_TRUE(open.reader->titleLabel()->isHidden()) << "no bar to show it in";
    EXPECT_EQ(open.reader->titleLabel()->textColor(), ui::Color::redColor());
    EXPECT_EQ(open.reader->view()->backgroundColor(), config->nightPaperColor);
    for (const ui::View* view = open.reader->closeButton(); view; view = view->superview())
        EXPECT_FALSE(view->isHidden()) << "the way out stays reachable";

    config->alwaysHidesChrome = false;
    config->showsTitle = false;
    OpenReader untitled(EpubFixture { .title = "Untitled" }, config);
    EXPECT_TRUE(untitled.reader->titleLabel()->isHidden());
}

TEST(ReaderViewController, aBrokenBookShowsAMessageInsteadOfABlankPage)
{
    OpenReader open(EpubFixture { .breakage = fixtures::Breakage::malformedPackage });
    ASSERT_NE(open.reader->messageLabel(), nullptr);
    EXPECT_FALSE(open.reader->messageLabel()->isHidden());
    EXPECT_EQ(open.reader->messageLabel()->text(),
        "This book cannot be opened.\n" + *open.reader->session().failure());
    auto description = open.reader->readerDescription();
    ASSERT_TRUE(description.failure);
    EXPECT_NE(description.failure->find("not well-formed XML"), std::string::npos);
    EXPECT_TRUE(description.spine.empty());
    EXPECT_FALSE(open.reader->closeButton()->isHidden()) << "the way back stays";
}

TEST(ReaderViewController, keepsAndForgetsHighlightsOfTheBook)
{
    OpenReader open(EpubFixture {});
    auto description = open.reader->readerDescription();
    std::vector<std::string> ids;
    for (auto [document, start, end, text] : { std::tuple { "chapter-2", 3, 9, "was the" },
             { "chapter-1", 11, 15, "Call" }, { "chapter-2", 14, 21, "was the" } }) {
        auto added = open.reader->performReaderAction({ { "type", "addHighlight" },
            { "document", "OEBPS/text/" + std::string(document) + ".xhtml" }, { "start", start },
            { "end", end }, { "text", text } });
        ASSERT_TRUE(added) << added.error().description();
        ids.push_back((*added)["highlight"]["id"]);
    }
    // In book order, each with its chapter; the first was made where the words are others.
    auto items = (*open.reader->performReaderAction({ { "type", "highlights" } }))["highlights"];
    ASSERT_EQ(items.size(), 3u);
    const std::tuple<std::string, int, std::string, bool> listed[] = {
        { "Call", 11, "Chapter One", true },
        { "was the", 3, "Chapter Two", false },
        { "was the", 14, "Chapter Two", true },
    };
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto [text, start, chapter, matches] = listed[i];
        EXPECT_EQ(items[i]["text"], text) << i;
        EXPECT_EQ(items[i]["start"], start) << i;
        EXPECT_EQ(items[i]["chapter"], chapter) << i;
        EXPECT_EQ(items[i]["matches"], matches) << i;
    }
    EXPECT_TRUE(std::filesystem::exists(open.folder.file("highlights.realm")));
    auto exported = open.reader->exportReaderHighlights();
    ASSERT_TRUE(exported) << exported.error().description();
    EXPECT_EQ(exported->fileName, "Untitled highlights.md");
    EXPECT_EQ(std::regex_replace(exported->bytes, std::regex(R"(\d{4}-\d\d-\d\d)"), "DAY"),
        "# Untitled — Anonymous\n\n## Chapter One\n\n> Call\n\nHighlighted on DAY\n\n"
        "## Chapter Two\n\n> was the\n\nHighlighted on DAY\n\n"
        "## No longer matching the book's text\n\nThe book's text at these places differs from "
        "what was highlighted: the book may have been replaced by another edition.\n\n"
        "> was the\n\nHighlighted on DAY, in Chapter Two\n");

    for (const auto& id : ids)
        ASSERT_TRUE(
            open.reader->performReaderAction({ { "type", "removeHighlight" }, { "id", id } }));
    EXPECT_TRUE(
        (*open.reader->performReaderAction({ { "type", "highlights" } }))["highlights"].empty());
    EXPECT_EQ(open.reader->readerDescription(), description)
        << "the description does not follow the highlights";

    const std::vector<nlohmann::json> refused = {
        { { "type", "deleteBook" } },
        { { "type", "addHighlight" }, { "document", "OEBPS/text/chapter-1.xhtml" }, { "start", -1 },
            { "end", 2 }, { "text", "" } },
        { { "type", "addHighlight" }, { "document", "../../etc/passwd" }, { "start", 1 },
            { "end", 2 }, { "text", "x" } },
        { { "type", "addHighlight" }, { "document", "OEBPS/content.opf" }, { "start", 1 },
            { "end", 2 }, { "text", "x" } },
        { { "type", "addHighlight" }, { "start", 1 }, { "end", 2 } },
        { { "type", "removeHighlight" }, { "id", "nope" } },
        { { "type", "removeHighlight" } },
        { { "type", "keepPlace" }, { "spine", 2 }, { "offset", 0 }, { "fontScale", 1 },
            { "night", false } },
        { { "type", "keepPlace" }, { "spine", 0 }, { "offset", -4 }, { "fontScale", 1 },
            { "night", false } },
        { { "type", "keepPlace" }, { "spine", 0 }, { "offset", 4 } },
        { { "type", "keepPlace" }, { "spine", 0 }, { "offset", 4 }, { "fontScale", 1 },
            { "night", false }, { "picture", -1 } },
        { { "type", "keepPlace" }, { "spine", 0 }, { "offset", 4 }, { "fontScale", 1 },
            { "night", false }, { "finished", "yes" } },
    };
    for (const auto& action : refused)
        EXPECT_FALSE(open.reader->performReaderAction(action)) << action.dump();
}

TEST(ReaderViewController, reopensTheBookWhereItWasLeft)
{
    OpenReader open(EpubFixture {});
    EXPECT_FALSE(open.reader->readerDescription().place) << "never read: the start";
    ASSERT_TRUE(open.reader->performReaderAction({ { "type", "keepPlace" }, { "spine", 1 },
        { "offset", 42 }, { "fontScale", 1.21 }, { "night", true }, { "picture", 2 } }));
    EXPECT_EQ(open.reader->readingPlacesPath(), open.folder.file("reading-places.json"));
    // How far into the book's text, for the list: "Chapter One" and "Call me Ishmael.", then
    // "Chapter Two" and "It was the best of times.", 63 characters; 42 stops at its document's end.
    auto kept = folioreader::readingPlace(open.reader->readingPlacesPath(), "My Book.epub");
    ASSERT_TRUE(kept && kept->progress);
    EXPECT_DOUBLE_EQ(*kept->progress, 1.0);
    EXPECT_FALSE(kept->finished) << "not the last screen";
    EXPECT_GT(kept->keptAt, 1700000000);
    ASSERT_TRUE(open.reader->performReaderAction({ { "type", "keepPlace" }, { "spine", 0 },
        { "offset", 11 }, { "fontScale", 1 }, { "night", false }, { "finished", true } }));
    kept = folioreader::readingPlace(open.reader->readingPlacesPath(), "My Book.epub");
    EXPECT_DOUBLE_EQ(kept->progress.value_or(-1), 11.0 / 63);
    EXPECT_TRUE(kept->finished);
    ASSERT_TRUE(open.reader->performReaderAction({ { "type", "keepPlace" }, { "spine", 1 },
        { "offset", 42 }, { "fontScale", 1.21 }, { "night", true }, { "picture", 2 } }));
    auto reopen = [&] {
        auto session = folioreader::ReaderSession::open(open.reader->session().bookPath());
        auto reader = std::make_shared<folioreader::ReaderViewController>(
            std::make_shared<folioreader::FolioReaderConfig>(open.reader->config()), session);
        return reader->readerDescription().place;
    };
    EXPECT_EQ(open.reader->readerDescription().place,
        (ui::ReaderDescription::Place {
            .spine = 1, .offset = 42, .picture = 2, .fontScale = 1.21, .night = true }))
        << "a page drawn anew";
    EXPECT_EQ(reopen(),
        (ui::ReaderDescription::Place {
            .spine = 1, .offset = 42, .picture = 2, .fontScale = 1.21, .night = true }));

    // The book was replaced by one without that document: its start, with the same look.
    std::string store = open.reader->readingPlacesPath();
    folioreader::ReadingPlace gone { "OEBPS/text/removed.xhtml", 42, 1.5, true };
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "My Book.epub", gone));
    EXPECT_EQ(reopen(),
        (ui::ReaderDescription::Place {
            .spine = std::nullopt, .offset = 0, .fontScale = 1.5, .night = true }));
}

TEST(ReaderViewController, highlightsStayOffWhenTheirDatabaseCannotBeOpened)
{
    auto config = std::make_shared<folioreader::FolioReaderConfig>();
    config->highlightDatabase
        = { .inMemoryIdentifier = std::nullopt, .encryptionKey = std::string(64, 'k') };
    OpenReader open(EpubFixture {}, config);
    EXPECT_FALSE(open.reader->keepsHighlights());
    auto description = open.reader->readerDescription();
    EXPECT_FALSE(description.highlightsAvailable);
    EXPECT_FALSE(description.highlightProblem.empty());
    EXPECT_FALSE(open.reader->performReaderAction(
        { { "type", "addHighlight" }, { "document", "OEBPS/text/chapter-1.xhtml" }, { "start", 1 },
            { "end", 2 }, { "text", "x" } }));
    EXPECT_TRUE(open.reader->openReaderFile("OEBPS/text/chapter-1.xhtml"))
        << "the book is read all the same";
}

TEST(ReaderViewController, closingAReaderThatIsNotPresentedStillEndsTheSession)
{
    OpenReader open(EpubFixture {});
    auto copy = open.reader->session().temporaryFolder();
    ASSERT_TRUE(copy);
    open.reader->close();
    EXPECT_FALSE(open.reader->session().isOpen());
    EXPECT_FALSE(std::filesystem::exists(*copy));
    EXPECT_FALSE(open.reader->openReaderFile("OEBPS/text/chapter-1.xhtml"));
}

}
