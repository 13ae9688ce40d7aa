// Importing: the picker, files handed over by other programs, and what a broken file must not do.
#include "frameworks/folioreader/reader/ReaderViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/DocumentPickerViewController.h"
#include "tests/support/LaunchedApp.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class ImportBook : public ::testing::Test {
protected:
    std::string writeSource(const std::string& name, const std::string& title,
        fixtures::Breakage breakage = fixtures::Breakage::none)
    {
        fixtures::EpubFixture book;
        book.title = title;
        book.author = "Importer";
        book.breakage = breakage;
        std::string path = m_outside.file(name);
        book.writeZipped(path);
        return path;
    }

    folioreader::ReaderViewController* presentedReader(fixtures::LaunchedApp& app)
    {
        return dynamic_cast<folioreader::ReaderViewController*>(
            app.screen().presentedViewController().get());
    }

    void pick(fixtures::LaunchedApp& app, const std::vector<std::string>& paths)
    {
        app.tapHeaderButton("open");
        auto picked = app.driver().pickDocuments(paths);
        ASSERT_TRUE(picked) << picked.error().description();
    }

    fixtures::TemporaryFolder m_outside;
};

TEST_F(ImportBook, pickedFileIsUnpackedListedFirstSelectedAndOpened)
{
    fixtures::LaunchedApp app({ { "old.epub", "Old", "Ann", 1000 } });
    auto source = writeSource("A.epub", "Fresh");
    auto sourceBytes = fs::file_size(source);
    pick(app, { source });

    EXPECT_TRUE(fs::is_directory(app.library().itemPath("A.epub")));
    EXPECT_TRUE(fs::exists(app.library().itemPath("A.epub/META-INF/container.xml")));
    EXPECT_EQ(app.visibleRows().front(), "Fresh / Importer");
    EXPECT_EQ(app.table().indexPathForSelectedRow(), ui::IndexPath::forRow(0, 0));
    auto* reader = presentedReader(app);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->session().bookPath(), app.library().itemPath("A.epub"));
    EXPECT_EQ(fs::file_size(source), sourceBytes) << "the picked file is only read";
    for (auto& entry : fs::directory_iterator(app.library().path()))
        EXPECT_NE(entry.path().filename().string().rfind(".import-", 0), 0u)
            << "no staging folder is left behind";
}

TEST_F(ImportBook, sameNameReplacesTheFolderButKeepsTheListedTitleUntilRestart)
{
    fixtures::LaunchedApp app({ { "z.epub", "Zed", "Zoe", 1000 } });
    pick(app, { writeSource("A.epub", "First") });
    std::ofstream(app.library().itemPath("A.epub/stale.txt")) << "left from the first import";
    ASSERT_TRUE(app.driver().showScreen());
    app.screen().dismissViewControllerAnimated(false);

    pick(app, { writeSource("A.epub", "Second") });
    EXPECT_FALSE(fs::exists(app.library().itemPath("A.epub/stale.txt")));
    EXPECT_EQ(app.visibleRows().front(), "First / Importer");
    EXPECT_EQ(app.table().numberOfRowsInSection(0), 2);
}

// Every book the scan could not list is refused, whether or not it unpacks: the book of that
// name stays, nothing is left in the folder, and the reason names the file picked.
TEST_F(ImportBook, bookTheLibraryCouldNotListLeavesTheLibraryAsItWasAndOpensNothing)
{
    using fixtures::Breakage;
    using fixtures::EpubFixture;
    auto containerNaming = [](const std::string& rootfiles) {
        return "<?xml version=\"1.0\"?><container version=\"1.0\" "
               "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">"
               "<rootfiles>"
            + rootfiles + "</rootfiles></container>";
    };
    const std::string container = EpubFixture {}.containerDocument();
    const std::string package = EpubFixture {}.packageDocument();
    const std::vector<std::pair<std::string, EpubFixture>> books = {
        { "not a zip", { .breakage = Breakage::notAZip } },
        { "truncated zip", { .breakage = Breakage::truncatedZip } },
        { "empty file", { .breakage = Breakage::zeroByteFile } },
        { "no container", { .breakage = Breakage::missingContainer } },
        { "malformed container", { .breakage = Breakage::malformedContainer } },
        { "no rootfile", { .breakage = Breakage::containerWithoutRootfile } },
        { "package outside", { .breakage = Breakage::packageOutsideBook } },
        { "package missing", { .breakage = Breakage::missingPackage } },
        { "malformed package", { .breakage = Breakage::malformedPackage } },
        { "lower-case container folder",
            { .breakage = Breakage::missingContainer,
                .extraEntries = { { "meta-inf/container.xml", container } } } },
        { "backslash separators",
            { .breakage = Breakage::missingContainer,
                .extraEntries = { { "META-INF\\container.xml", container } } } },
        { "first rootfile a PDF",
            { .breakage = Breakage::missingContainer,
                .extraEntries
                = { { "META-INF/container.xml",
                        containerNaming(
                            "<rootfile full-path=\"book.pdf\" media-type=\"application/pdf\"/>"
                            "<rootfile full-path=\"OEBPS/content.opf\" "
                            "media-type=\"application/oebps-package+xml\"/>") },
                    { "book.pdf", "%PDF-1.4\n" } } } },
        { "package cut off mid-metadata",
            { .breakage = Breakage::missingPackage,
                .extraEntries = { { "OEBPS/absent.opf",
                    package.substr(0, package.find("</metadata>") - 20) } } } },
    };
    fixtures::LaunchedApp app({ { "A.epub", "Precious", "Ann", 1000 } });
    auto before = fs::file_size(app.library().itemPath("A.epub"));
    for (const auto& [kind, book] : books) {
        app.takeConsole();
        book.writeZipped(m_outside.file("A.epub"));
        pick(app, { m_outside.file("A.epub") });
        EXPECT_EQ(fs::file_size(app.library().itemPath("A.epub")), before)
            << kind << ": the book of that name is kept";
        EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Precious / Ann" })) << kind;
        EXPECT_FALSE(presentedReader(app)) << kind;
        EXPECT_EQ(
            std::distance(fs::directory_iterator(app.library().path()), fs::directory_iterator()),
            1)
            << kind;
        auto lines = app.takeConsole();
        ASSERT_EQ(lines.size(), 1u) << kind;
        // The picker hands over a copy of the file, named alike.
        EXPECT_EQ(lines[0].rfind("Can't import: \"/", 0), 0u) << kind << ": " << lines[0];
        EXPECT_NE(lines[0].find("/A.epub\": "), std::string::npos) << kind << ": " << lines[0];
    }
}

TEST_F(ImportBook, namesThatWouldLandOnTheLibraryItselfAreRefused)
{
    fixtures::LaunchedApp app({ { "A.epub", "Kept", "Ann", 1000 } });
    for (const char* url : { "file:///", "file:///tmp/..", "file:///tmp/." }) {
        app.screen().importBook(*foundation::URL::withString(url));
        EXPECT_TRUE(fs::exists(app.library().itemPath("A.epub"))) << url;
        EXPECT_TRUE(fs::is_directory(app.library().path())) << url;
        EXPECT_EQ(app.takeConsole().size(), 1u) << url;
    }
}

TEST_F(ImportBook, fileNotEndingInEpubIsUnpackedButNotListed)
{
    fixtures::LaunchedApp app({ { "b.epub", "Listed", "Ann", 1000 } });
    auto source = writeSource("notes.zip", "Hidden");
    ASSERT_TRUE(ui::Application::sharedApplication()->openURLFromOtherApplication(
        foundation::URL::fileURLWithPath(source)));
    EXPECT_TRUE(fs::is_directory(app.library().itemPath("notes.zip")));
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Listed / Ann" }));
    auto* reader = presentedReader(app);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->session().bookPath(), app.library().itemPath("notes.zip"));
}

TEST_F(ImportBook, delegateTakesEveryHandedOverFileEvenWithoutAScreen)
{
    fixtures::LaunchedApp app;
    auto delegate
        = std::dynamic_pointer_cast<AppDelegate>(ui::Application::sharedApplication()->delegate());
    auto screen = delegate->myViewController;
    delegate->myViewController.reset();
    EXPECT_TRUE(delegate->openURL(*ui::Application::sharedApplication(),
        foundation::URL::fileURLWithPath(writeSource("x.epub", "X")), {}));
    EXPECT_FALSE(fs::exists(app.library().itemPath("x.epub")));
    delegate->myViewController = screen;
}

TEST_F(ImportBook, pickerOffersOnlyEpubAndImportsOnlyTheFirstOfSeveral)
{
    fixtures::LaunchedApp app;
    app.tapHeaderButton("open");
    auto picker = std::dynamic_pointer_cast<ui::DocumentPickerViewController>(
        app.screen().presentedViewController());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->documentTypes(), std::vector<std::string> { "org.idpf.epub-container" });
    EXPECT_EQ(picker->mode(), ui::DocumentPickerMode::import);
    EXPECT_EQ(picker->modalPresentationStyle(), ui::ModalPresentationStyle::formSheet);
    EXPECT_EQ(picker->acceptedExtensions(), std::vector<std::string> { ".epub" });
    EXPECT_EQ(picker->acceptedMimeTypes(), std::vector<std::string> { "application/epub+zip" });

    std::ofstream(m_outside.file("notes.txt")) << "text";
    EXPECT_FALSE(app.driver().pickDocuments({ m_outside.file("notes.txt") }));
    auto picked = app.driver().pickDocuments({ writeSource("one.epub", "One"),
        writeSource("two.epub", "Two"), writeSource("three.epub", "Three") });
    ASSERT_TRUE(picked);
    EXPECT_TRUE(fs::exists(app.library().itemPath("one.epub")));
    EXPECT_FALSE(fs::exists(app.library().itemPath("two.epub")));
    EXPECT_FALSE(fs::exists(app.library().itemPath("three.epub")));
}

TEST_F(ImportBook, emptyPickImportsNothingAndCancelOnlyDismisses)
{
    fixtures::LaunchedApp app({ { "a.epub", "Alpha", "Ann", 1000 } });
    app.tapHeaderButton("open");
    ASSERT_TRUE(app.driver().pickDocuments({}));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(app.library().path()), fs::directory_iterator()), 1);
    EXPECT_FALSE(app.screen().presentedViewController()) << "the picker closes itself after a pick";

    app.tapHeaderButton("open");
    app.takeConsole();
    fs::remove(app.library().itemPath("a.epub"));
    app.library().addBook("b.epub", "Beta", "Bob", 5000);
    ASSERT_TRUE(app.driver().cancelDocumentPicker());
    EXPECT_EQ(app.takeConsole(), std::vector<std::string> { "view was cancelled" });
    EXPECT_FALSE(app.screen().presentedViewController());
    EXPECT_EQ(app.visibleRows(), (std::vector<std::string> { "Alpha / Ann" }))
        << "cancelling does not rescan";
}

}
