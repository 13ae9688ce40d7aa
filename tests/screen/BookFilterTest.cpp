// Finding a book as one types: what matches across scripts, and the found rows tapped, deleted
// and cleared; what the table shows behind no rows.
#include "screen/BookFilter.h"
#include "library/BookList.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "tests/support/LaunchedApp.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

TEST(BookFilter, matchesTitleOrAuthorWhateverTheCaseAccentsAndWidth)
{
    struct Case {
        const char* title;
        const char* author;
        const char* typed;
        bool matches;
    };
    // What folds to what in every script is SearchFold's table; here, that the filter folds both
    // sides.
    const Case cases[] = {
        { "Moby-Dick", "Herman Melville", "moby", true },
        { "Moby-Dick", "Herman Melville", "MELVILLE", true },
        { "Moby-Dick", "Herman Melville", "dick herman", false }, // never across title and author
        { "Les Misérables", "Victor Hugo", "miserables", true },
        { "Les Mise\xCC\x81rables", "Victor Hugo", "misérables",
            true }, // decomposed é in the title
        { "Ça ira", "", "CA", true },
        { "İstanbul Hatırası", "", "istanbul", true }, // Turkish dotted capital I
        { "Die Straße", "", "strasse", true }, // ß is ss
        { "Οδυσσεύς", "Όμηρος", "ΟΔΥΣΣΕΥΣ", true }, // final sigma, tonos
        { "Ｐａｇｅ Ｏｎｅ", "", "page one", true }, // full-width Latin
        { "ｶﾞｲﾄﾞ", "", "ガイド", true }, // half-width katakana
        { "こころ", "夏目漱石", "漱石", true },
        { "Война и мир", "Лев Толстой", "ТОЛСТОЙ", true },
        { "Alpha", "", "\xFF\xFE", false }, // bytes that are no UTF-8
        { "Broken \xFF title", "", "\xFF", true },
        { "Alpha", "", "alpha\nbeta", false },
    };
    for (const auto& entry : cases) {
        BookList books;
        books.append({ entry.title, entry.author, "a.epub", {} });
        BookFilter filter;
        filter.setText(entry.typed);
        filter.refresh(books);
        EXPECT_EQ(filter.rowCount(books), entry.matches ? 1u : 0u)
            << entry.title << " / " << entry.author << " typed " << entry.typed;
    }
}

TEST(BookFilter, foundRowsOpenDeleteAndClearToTheRightBooks)
{
    fixtures::LaunchedApp app(
        { { "a.epub", "Alpha", "Ann", 4000 }, { "b.epub", "Beta", "Bob", 3000 },
            { "c.epub", "Alphabet", "Cy", 2000 }, { "d.epub", "Delta", "Dee", 1000 } });
    ASSERT_EQ(app.table().searchFieldName(), "Search books");
    ASSERT_TRUE(app.driver().search("ALPH"));
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Ann", "Alphabet / Cy" }));
    EXPECT_TRUE(app.table().sectionIndexTitles().empty());

    // Row 1 of the found rows is the third book: deleting it removes c.epub and nothing else.
    ASSERT_TRUE(app.driver().deleteRow(1));
    EXPECT_FALSE(std::filesystem::exists(app.library().itemPath("c.epub")));
    EXPECT_TRUE(std::filesystem::exists(app.library().itemPath("b.epub")));
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Ann" }));

    ASSERT_TRUE(app.driver().search("zzz"));
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 0);
    auto background = app.table().backgroundView();
    ASSERT_NE(background, nullptr);
    auto label = std::dynamic_pointer_cast<ui::Label>(background->subviews().at(0));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "No books match");

    ASSERT_TRUE(app.driver().search(""));
    EXPECT_EQ(app.visibleRows(), (Rows { "Alpha / Ann", "Beta / Bob", "Delta / Dee" }));
    EXPECT_EQ(app.table().backgroundView(), nullptr);

    ASSERT_TRUE(app.driver().search("del"));
    ASSERT_TRUE(app.driver().tapRow(0));
    EXPECT_EQ(bookList()[0].file, "d.epub"); // opened, so now the most recent
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 1);
}

TEST(BookFilter, anEmptyLibrarySaysHowToAddABookUntilItHasOne)
{
    fixtures::LaunchedApp app;
    auto background = app.table().backgroundView();
    ASSERT_NE(background, nullptr);
    EXPECT_FALSE(background->accessibilityLabel().empty());
    std::shared_ptr<ui::Button> folderButton;
    for (auto& view : background->subviews()) {
        if (auto button = std::dynamic_pointer_cast<ui::Button>(view))
            folderButton = button;
    }
    ASSERT_NE(folderButton, nullptr);
    // Its parts stand one below the other, each inside the view: none is drawn over another.
    double bottom = 0;
    for (auto& view : background->subviews()) {
        auto frame = view->frame();
        EXPECT_GE(frame.origin.y, bottom);
        bottom = frame.origin.y + frame.size.height;
    }
    EXPECT_LE(bottom, background->frame().size.height);
    ASSERT_TRUE(app.driver().touchUpInside(folderButton->viewId()));
    auto& requests = ui::Application::sharedApplication()->pendingOpenURLRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().url.absoluteString(), "app-documents-folder:");

    fixtures::EpubFixture book;
    book.title = "First";
    book.writeZipped(app.library().itemPath("first.epub"));
    app.showScreen();
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 1);
    EXPECT_EQ(app.table().backgroundView(), nullptr);
}

}
