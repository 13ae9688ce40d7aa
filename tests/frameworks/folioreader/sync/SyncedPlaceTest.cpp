// Places of fixed-layout books, where a device and the reader name a page, not a paragraph: each
// page's start goes both ways as itself, whether the page holds a caption or only a picture.
#include "frameworks/folioreader/sync/SyncedPlace.h"

#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace {

constexpr int pages = 4;

std::string pageOf(int page)
{
    return "OEBPS/text/chapter-" + std::to_string(page) + ".xhtml";
}

// A fixed-layout book of four pages without text, or with a caption on every other page.
std::string writeFixedLayout(const fixtures::TemporaryFolder& folder, bool captions)
{
    fixtures::EpubFixture book;
    book.extraMetadata = "<meta property=\"rendition:layout\">pre-paginated</meta>";
    book.chapters.clear();
    for (int page = 1; page <= pages; ++page)
        book.chapters.push_back(
            { "", captions && page % 2 == 0 ? "Caption " + std::to_string(page) : "" });
    std::string path = folder.file(captions ? "captions.epub" : "pictures.epub");
    book.writeZipped(path);
    return path;
}

TEST(SyncedPlace, fixedLayoutPagesGoBothWaysPageToPage)
{
    fixtures::TemporaryFolder folder;
    for (bool captions : { false, true }) {
        SCOPED_TRACE(captions ? "captions" : "pictures only");
        auto book = writeFixedLayout(folder, captions);
        // The reader's place at a page's start, pulled by a device and pushed back.
        for (int page = 1; page <= pages; ++page) {
            folioreader::ReadingPlace kept { pageOf(page), 0 };
            auto pulled = folioreader::devicePlaceOf(book, kept);
            ASSERT_TRUE(pulled) << page << ": " << pulled.error().description();
            std::string fragment = "/body/DocFragment[" + std::to_string(page) + "]";
            EXPECT_EQ(pulled->progress.rfind(fragment, 0), 0u) << pulled->progress;
            auto back = folioreader::readingPlaceOf(book, *pulled, std::nullopt);
            ASSERT_TRUE(back) << page;
            EXPECT_EQ(back->document, pageOf(page));
            EXPECT_EQ(back->offset, 0u) << page;
        }
    }

    // What devices push for a page: its fragment alone, a path into a picture the page names
    // nothing by, or past the book with the share of its pages.
    struct Push {
        bool captions;
        const char* progress;
        double percentage;
        int page;
    };
    const std::vector<Push> pushes {
        { false, "/body/DocFragment[3]", 0.1, 3 },
        { true, "/body/DocFragment[2]", 0.9, 2 },
        { true, "/body/DocFragment[2]/body/div/svg/image", 0.1, 2 },
        { false, "/body/DocFragment[4]/body/img.0", 0.1, 4 },
        { false, "/body/DocFragment[9]", 0.6, 3 },
    };
    for (const auto& push : pushes) {
        auto book = folder.file(push.captions ? "captions.epub" : "pictures.epub");
        auto place = folioreader::readingPlaceOf(book, { push.progress, push.percentage }, {});
        ASSERT_TRUE(place) << push.progress;
        EXPECT_EQ(place->document, pageOf(push.page)) << push.progress;
        EXPECT_EQ(place->offset, 0u) << push.progress;
    }
}

}
