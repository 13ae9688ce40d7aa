// Book rows: cover or "blank", title and author, the picture's layout, the amber selection, the
// clear background — and a reused cell showing nothing of its previous book.
#include "tests/support/LaunchedApp.h"
#include "tests/support/RunMainLoop.h"
#include "tests/support/TinyPictures.h"

#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "platform/host/snapshot/TableSnapshot.h"
#include "platform/ui/ScreenChange.h"
#include "screen/RowCovers.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace {

fixtures::EpubFixture bookWithCover(const std::string& title, const std::string& author)
{
    fixtures::EpubFixture book;
    book.title = title;
    book.author = author;
    book.cover = fixtures::Cover::epub3;
    return book;
}

// A cover is the tiny fixture picture; "blank" is the application's own 36-point picture.
bool showsCover(ui::TableViewCell& cell)
{
    auto image = cell.imageView()->image();
    return image && image->pixelWidth() == fixtures::tinyPngWidth
        && image->pixelHeight() == fixtures::tinyPngHeight;
}

bool showsBlank(ui::TableViewCell& cell)
{
    auto image = cell.imageView()->image();
    auto blank = ui::Image::named("blank");
    return image && blank && image->data() == blank->data();
}

// Read as each row is configured, or apart from the main loop: then the rows show their own
// covers once read, and whoever draws is told; read as rows are made, nobody needs telling.
TEST(BookCells, showCoverOrBlankWithTitleAndAuthor)
{
    for (bool apart : { false, true }) {
        SCOPED_TRACE(apart ? "covers read apart" : "covers read as rows are made");
        fixtures::LaunchedApp app;
        int told = 0;
        auto previous = ui::setScreenChangeListener([&told] { ++told; });
        auto loader = apart ? makeRowCoverLoader(ui::MainLoop::main()) : nullptr;
        app.screen().setBackgroundWork({ .covers = loader.get() });
        app.library().addBook("covered.epub", bookWithCover("Moby-Dick", "Melville"), 4000);
        app.library().addBook("plain.epub", "Walden", "Thoreau", 3000);
        app.library().addBook(
            "nameless.epub", fixtures::EpubFixture { .title = "", .author = "" }, 2000);
        app.library().addBook("broken.epub",
            fixtures::EpubFixture { .title = "Broken",
                .author = "Nobody",
                .cover = fixtures::Cover::epub3,
                .breakage = fixtures::Breakage::coverNotAPicture },
            1000);
        app.showScreen();
        ASSERT_EQ(app.visibleRows(),
            (std::vector<std::string> {
                "Moby-Dick / Melville", "Walden / Thoreau", " / ", "Broken / Nobody" }));
        auto cell = [&app](std::int64_t row) {
            return app.table().cellForRowAtIndexPath({ 0, row });
        };
        // With covers read apart, the main loop runs until the row shows what is expected
        // (bounded).
        auto runUntil = [apart](const std::function<bool()>& shown) {
            if (apart)
                fixtures::runMainLoopUntil(shown);
        };
        // Read apart, the row shows "blank" until its cover arrives, or the cover read lately when
        // the row is made again first: either way its own cover in the end.
        runUntil([&] { return showsCover(*cell(0)); });
        EXPECT_TRUE(apart || told == 0);
        EXPECT_TRUE(showsCover(*cell(0)));
        for (std::int64_t row : { 1, 2, 3 })
            EXPECT_TRUE(showsBlank(*cell(row))) << "row " << row;

        // An item removed behind the program's back shows "blank" once its row is made again.
        std::filesystem::remove(app.library().itemPath("covered.epub"));
        app.table().reloadData();
        runUntil([&] { return showsBlank(*cell(0)); });
        EXPECT_TRUE(showsBlank(*cell(0)));
        app.screen().setBackgroundWork({});
        ui::setScreenChangeListener(std::move(previous));
    }
}

// A page may still show a row the screen has since scrolled away from (its rows in view were
// asked for, then rows further on): when that row's cover arrives, the pages are told to look
// again all the same, or the page keeps its blank cover for good.
TEST(BookCells, aCoverArrivingForARowScrolledAwayStillTellsThePages)
{
    fixtures::LaunchedApp app;
    int told = 0;
    auto previous = ui::setScreenChangeListener([&told] { ++told; });
    auto loader = makeRowCoverLoader(ui::MainLoop::main());
    app.screen().setBackgroundWork({ .covers = loader.get() });
    app.library().addBook("covered.epub", bookWithCover("Moby-Dick", "Melville"), 2000);
    app.library().addBook("plain.epub", "Walden", "Thoreau", 1000);
    app.showScreen();
    ASSERT_TRUE(app.driver().scrollTo(0, 1));
    ASSERT_TRUE(app.driver().scrollTo(1, 1));
    ASSERT_EQ(app.visibleRows(), std::vector<std::string> { "Walden / Thoreau" });
    fixtures::runMainLoopUntil([&] { return told > 0; });
    EXPECT_GT(told, 0);
    app.screen().setBackgroundWork({});
    ui::setScreenChangeListener(std::move(previous));
}

// A row whose cover request the reader let go while the row stayed in view (a jump asked for
// many rows after it) is not made again: once the reader has read the rest, the rows in view
// still showing the blank cover ask again, and show their own.
TEST(BookCells, aRowLeftBlankShowsItsCoverOnceTheCoverReaderIsIdle)
{
    // The row's cover missed (shown blank) when its request was let go, as a jump that asks for
    // many rows after it does, or by any other slip: once the reader has read what it was asked
    // for, the row shows its cover.
    for (std::size_t others : { std::size_t(1), folioreader::CoverLoader::mostWaiting * 30 }) {
        fixtures::LaunchedApp app;
        auto previous = ui::setScreenChangeListener([] {});
        auto loader = makeRowCoverLoader(ui::MainLoop::main());
        app.screen().setBackgroundWork({ .covers = loader.get() });
        app.library().addBook("covered.epub", bookWithCover("Moby-Dick", "Melville"), 2000);
        app.library().addBook("plain.epub", "Walden", "Thoreau", 1000);
        app.showScreen();
        auto cell = app.table().cellForRowAtIndexPath({ 0, 0 });
        fixtures::runMainLoopUntil([&] { return showsCover(*cell); });
        auto blank = app.table().cellForRowAtIndexPath({ 0, 1 })->imageView()->image();
        ASSERT_TRUE(blank && showsBlank(*app.table().cellForRowAtIndexPath({ 0, 1 })));
        cell->imageView()->setImage(blank);
        for (std::size_t n = 0; n < others; ++n)
            loader->request("/nonexistent/book-" + std::to_string(n) + ".epub");
        fixtures::runMainLoopUntil([&] { return showsCover(*cell); });
        EXPECT_TRUE(showsCover(*cell)) << others;
        // The book without a cover keeps the blank one, and is not read again and again.
        EXPECT_TRUE(showsBlank(*app.table().cellForRowAtIndexPath({ 0, 1 })));
        app.screen().setBackgroundWork({});
        ui::setScreenChangeListener(std::move(previous));
    }
}

// What a row looks like: title over author, a round cover filled without distortion at the top
// leading corner of the margins, the labels beside it, the table's background through it.
TEST(BookCells, layoutStyleAndBackgrounds)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    auto cell = app.table().cellForRowAtIndexPath({ 0, 0 });
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->style(), ui::TableViewCellStyle::subtitle);
    EXPECT_EQ(cell->backgroundColor(), ui::Color::clearColor());
    auto& picture = *cell->imageView();
    EXPECT_EQ(picture.contentMode(), ui::ContentMode::scaleAspectFill);
    auto margins = cell->contentView()->layoutMargins();
    auto frame = picture.frame();
    EXPECT_EQ(frame.origin, (ui::Point { margins.left, margins.top }));
    EXPECT_GT(frame.size.width, 0);
    EXPECT_EQ(frame.size.width, frame.size.height);
    EXPECT_EQ(picture.layer().cornerRadius() * 2, frame.size.width) << "round";
    // The labels start after the picture.
    EXPECT_GE(cell->textLabel()->frame().minX(), picture.frame().maxX());
    EXPECT_TRUE(app.screen().canEditRowAtIndexPath(app.table(), { 0, 0 }));
}

TEST(BookCells, aSelectedRowShowsTheFaintAmber)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann" } });
    app.table().selectRowAtIndexPath(
        ui::IndexPath::forRow(0, 0), false, ui::TableViewScrollPosition::none);
    auto cell = app.table().cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(cell->isSelected());
    auto background = cell->selectedBackgroundView();
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->superview(), cell.get());
    auto amber = *background->backgroundColor();
    EXPECT_NEAR(amber.red, 0.9294117647058824, 1e-12);
    EXPECT_NEAR(amber.green, 0.7137254901960784, 1e-12);
    EXPECT_NEAR(amber.blue, 0.10588235294117647, 1e-12);
    EXPECT_NEAR(amber.alpha, 0.1, 1e-12);
}

// Books of one title and author say their file's name (alone when they name no author); a book
// alike in title or author only does not, and a namesake deleted leaves the other plain again.
TEST(BookCells, booksOfOneTitleAndAuthorShowTheirFileNames)
{
    fixtures::LaunchedApp app;
    app.library().addBook("waste1.epub", "The Waste Land", "Eliot", 4000);
    app.library().addBook("waste2.epub", "The Waste Land", "Eliot", 3000);
    app.library().addBook("waste3.epub", "The Waste Land", "Pound", 2000);
    app.library().addBook("prufrock.epub", "Prufrock", "Eliot", 1000);
    app.library().addBook("notes1.epub", "Notes", "", 900);
    app.library().addBook("notes2.epub", "Notes", "", 800);
    app.showScreen();
    EXPECT_EQ(app.visibleRows(),
        (std::vector<std::string> { "The Waste Land / Eliot · waste1.epub",
            "The Waste Land / Eliot · waste2.epub", "The Waste Land / Pound", "Prufrock / Eliot",
            "Notes / notes1.epub", "Notes / notes2.epub" }));
    app.screen().commitEditingStyle(
        app.table(), ui::TableViewCellEditingStyle::deleteStyle, { 0, 0 });
    app.table().reloadData();
    EXPECT_EQ(app.visibleRows().front(), "The Waste Land / Eliot");
}

TEST(BookCells, aReusedCellNeverShowsThePreviousBook)
{
    fixtures::LaunchedApp app;
    app.library().addBook("covered.epub", bookWithCover("Moby-Dick", "Melville"), 3000);
    app.library().addBook("middle.epub", bookWithCover("Middlemarch", "Eliot"), 2000);
    app.library().addBook("plain.epub", fixtures::EpubFixture { .title = "", .author = "" }, 1000);
    app.showScreen();
    app.table().selectRowAtIndexPath(
        ui::IndexPath::forRow(0, 0), false, ui::TableViewScrollPosition::none);
    ASSERT_TRUE(app.driver().scrollTo(0, 1));
    auto first = app.table().cellForRowAtIndexPath({ 0, 0 });
    ASSERT_TRUE(first && showsCover(*first));
    auto firstBackground = first->selectedBackgroundView();

    ASSERT_TRUE(app.driver().scrollTo(2, 1));
    auto reused = app.table().cellForRowAtIndexPath({ 0, 2 });
    ASSERT_EQ(reused, first) << "the table hands the same cell out again";
    EXPECT_EQ(reused->textLabel()->text(), "");
    EXPECT_EQ(reused->detailTextLabel()->text(), "");
    EXPECT_TRUE(showsBlank(*reused));
    EXPECT_FALSE(reused->isSelected());
    EXPECT_NE(reused->selectedBackgroundView(), firstBackground);
    EXPECT_EQ(reused->imageView()->constraints().size(), 4u);
    EXPECT_EQ(reused->backgroundColor(), ui::Color::clearColor());
}

// A book begun says how far it was read, in its row and its name; a finished one says so; one
// never opened, and a place kept before progress was measured, add nothing. A place kept anew
// shows at the next drawing of the row.
TEST(BookCells, rowsSayHowFarTheirBooksWereRead)
{
    fixtures::LaunchedApp app;
    app.library().addBook("moby.epub", "Moby-Dick", "Herman Melville", 4000);
    app.library().addBook("walden.epub", "Walden", "Thoreau", 3000);
    app.library().addBook("new.epub", "Middlemarch", "Eliot", 2000);
    app.library().addBook("old.epub", "Emma", "Austen", 1000);
    std::string store = app.library().itemPath(folioreader::readingPlacesName);
    folioreader::ReadingPlace moby { "one.xhtml", 5 }, walden { "two.xhtml", 9 };
    folioreader::ReadingPlace old { "one.xhtml", 3 };
    moby.progress = 0.129;
    walden.progress = 0.999;
    walden.finished = true;
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "moby.epub", moby));
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "walden.epub", walden));
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "old.epub", old));
    app.showScreen();
    EXPECT_EQ(app.visibleRows(),
        (std::vector<std::string> { "Moby-Dick / Herman Melville · 12% read",
            "Walden / Thoreau · finished", "Middlemarch / Eliot", "Emma / Austen" }));
    auto label = [&](std::int64_t row) {
        return host::rowLabel(*app.table().cellForRowAtIndexPath({ 0, row }));
    };
    EXPECT_EQ(label(0), "Moby-Dick, Herman Melville, 12% read");
    EXPECT_EQ(label(1), "Walden, Thoreau, finished");
    EXPECT_EQ(label(2), "Middlemarch, Eliot");

    moby.progress = 0.9999;
    ASSERT_TRUE(folioreader::keepReadingPlace(store, "moby.epub", moby));
    app.table().reloadData();
    EXPECT_EQ(label(0), "Moby-Dick, Herman Melville, 99% read")
        << "only the last screen finishes a book";
}

}
