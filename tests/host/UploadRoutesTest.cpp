// Picked and handed-over files streamed to the host: imported when whole and wanted, refused with
// nothing imported and nothing left behind otherwise.
#include "tests/host/HostedApp.h"

#include "app/BookFiles.h"
#include "library/BookList.h"
#include "platform/desktop/HandoffClient.h"
#include "tests/support/RunMainLoop.h"
#include "tests/support/TemporaryFolder.h"

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::vector<fixtures::BookFile> oneBook { { "old.epub", "Old Book", "Ann", 1000 } };

std::string epubBytes(const std::string& title)
{
    fixtures::TemporaryFolder folder;
    fixtures::EpubFixture book;
    book.title = title;
    book.author = "Uploader";
    book.writeZipped(folder.file("book.epub"));
    std::ifstream file(folder.file("book.epub"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::size_t entriesIn(const std::string& folder)
{
    std::error_code error;
    std::size_t count = 0;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
        ++count;
    return count;
}

class UploadRoutes : public ::testing::Test {
protected:
    // The library's disk has `spare` bytes beyond the reserve.
    host::HostOptions options(std::uintmax_t spare = 1ull << 40)
    {
        host::HostOptions options;
        options.upload.inboxFolder = m_inbox.file("inbox");
        options.upload.reserve = 1000;
        options.upload.freeSpace = [spare] { return std::optional<std::uintmax_t>(spare + 1000); };
        return options;
    }

    void openPicker(fixtures::HostedApp& hosted)
    {
        auto opened = hosted.event(
            { { "type", "touchUpInside" }, { "view", hosted.headerButtonId("open") } });
        ASSERT_EQ(opened.status, 200) << opened.body;
        ASSERT_EQ(opened.json()["presented"][0]["kind"], "picker");
    }

    std::string inbox() const { return m_inbox.file("inbox"); }

    fixtures::TemporaryFolder m_inbox;
};

// Sends the bytes and closes the connection at once.
void sendAndClose(int port, const std::string& bytes)
{
    int connection = fixtures::connectedTo(port);
    if (connection >= 0) {
        (void)::send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        ::close(connection);
    }
}

TEST_F(UploadRoutes, aPickedFileIsImportedOpenedAndItsInboxCopyRemoved)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    openPicker(hosted);
    auto answer = hosted.post("/pick?name=New%20Book.epub&first=0&count=10&width=375&height=667",
        epubBytes("Fresh Title"), hosted.page(), "application/epub+zip");
    ASSERT_EQ(answer.status, 200) << answer.body;

    auto state = answer.json();
    EXPECT_EQ(fixtures::snapshotRows(state).at(0), "Fresh Title, Uploader");
    ASSERT_EQ(state["presented"].size(), 1u)
        << "the picker is dismissed and the reader shows the book";
    EXPECT_TRUE(state["presented"][0].contains("reader"));
    EXPECT_EQ(state["version"], hosted.host().state().version());
    EXPECT_TRUE(fs::is_directory(hosted.app().library().itemPath("New Book.epub")));
    EXPECT_EQ(entriesIn(inbox()), 0u);
}

TEST_F(UploadRoutes, aHandedOverFileReachesTheDelegateAndIsImported)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    auto answer = hosted.post("/handoff?name=Handed.EPUB", epubBytes("Handed Over"), hosted.page(),
        "application/epub+zip");
    ASSERT_EQ(answer.status, 200) << answer.body;
    EXPECT_EQ(fixtures::snapshotRows(answer.json()).at(0), "Handed Over, Uploader");
    EXPECT_TRUE(fs::is_directory(hosted.app().library().itemPath("Handed.epub")))
        << "the library lists only this spelling";
    EXPECT_EQ(entriesIn(inbox()), 0u);
}

TEST_F(UploadRoutes, aPickWithoutAPickerInFrontIsRefusedAndImportsNothing)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    auto answer = hosted.post(
        "/pick?name=New.epub", epubBytes("Unwanted"), hosted.page(), "application/epub+zip");
    EXPECT_EQ(answer.status, 409) << answer.body;
    EXPECT_TRUE(answer.json().contains("state"));
    EXPECT_FALSE(fs::exists(hosted.app().library().itemPath("New.epub")));
    EXPECT_EQ(fixtures::listedFiles(), (std::vector<std::string> { "old.epub" }));
    EXPECT_EQ(entriesIn(inbox()), 0u);
}

TEST_F(UploadRoutes, namesThatAreNotPlainEpubFileNamesNeverBecomePaths)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    openPicker(hosted);
    const std::string longName(300, 'a');
    const std::vector<std::string> names {
        "",
        "notes.txt",
        "book.epub.zip",
        ".epub",
        "..",
        "../escaped.epub",
        "..%2Fescaped.epub",
        "a%2Fb.epub",
        "%2Ftmp%2Fabsolute.epub",
        "nul%00.epub",
        "back%5Cslash.epub",
        "line%0Abreak.epub",
        "%FF%FE.epub",
        ".hidden.epub",
        longName + ".epub",
    };
    const std::string bytes = epubBytes("Odd");
    for (const auto& name : names) {
        for (const char* route : { "/pick", "/handoff" }) {
            auto answer = hosted.post(
                std::string(route) + "?name=" + name, bytes, hosted.page(), "application/epub+zip");
            EXPECT_EQ(answer.status, 400) << route << " " << name << ": " << answer.body;
        }
    }
    auto missing = hosted.post("/handoff", bytes, hosted.page(), "application/epub+zip");
    EXPECT_EQ(missing.status, 400);

    EXPECT_EQ(fixtures::listedFiles(), (std::vector<std::string> { "old.epub" }));
    EXPECT_EQ(entriesIn(hosted.app().library().path()), 1u);
    EXPECT_FALSE(
        fs::exists(fs::path(hosted.app().library().path()).parent_path() / "escaped.epub"));
    EXPECT_FALSE(fs::exists("/tmp/absolute.epub"));
    EXPECT_EQ(entriesIn(inbox()), 0u);
    EXPECT_EQ(hosted.state()["presented"][0]["kind"], "picker")
        << "the picker waits for a file it can take";
}

TEST_F(UploadRoutes, anUploadLargerThanTheLibrarysDiskCanSpareIsRefusedBeforeItFillsIt)
{
    const std::string bytes = epubBytes("Too Large");
    fixtures::HostedApp hosted(oneBook, true, options(bytes.size() - 1));
    openPicker(hosted);

    // By its declared length, before any of it is stored.
    auto declared
        = hosted.post("/pick?name=Large.epub", bytes, hosted.page(), "application/epub+zip");
    EXPECT_EQ(declared.status, 413) << declared.body;

    // By the bytes received, when the length is not declared.
    auto chunked = std::async(std::launch::async, [&] {
        httplib::Client client("127.0.0.1", hosted.host().port());
        auto result = client.Post(
            "/pick?name=Large.epub", hosted.page(),
            [&](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= bytes.size()) {
                    sink.done();
                    return true;
                }
                return sink.write(
                    bytes.data() + offset, std::min<std::size_t>(1024, bytes.size() - offset));
            },
            "application/epub+zip");
        return result ? result->status : 0;
    });
    while (chunked.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        ui::MainLoop::main().runPending();
    EXPECT_EQ(chunked.get(), 413);

    // A program handing over a file of several megabytes hears the reason too, not a broken
    // connection (nor a SIGPIPE).
    const std::string large = m_inbox.file("Large.epub");
    std::ofstream(large, std::ios::binary) << std::string(3 * 1024 * 1024, 'x');
    const desktop::InstanceRecord instance { "http://127.0.0.1:"
            + std::to_string(hosted.host().port()),
        hosted.host().token(), "", ::getpid() };
    auto handed = std::async(
        std::launch::async, [&] { return desktop::handOver(instance, large, bookFiles, false); });
    while (handed.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        ui::MainLoop::main().runPending();
    auto refused = handed.get();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().description().rfind(
                  "the file is larger than the library's disk can take", 0),
        0u)
        << refused.error().description();

    EXPECT_FALSE(fs::exists(hosted.app().library().itemPath("Large.epub")));
    EXPECT_EQ(entriesIn(inbox()), 0u);
    EXPECT_EQ(hosted.state()["presented"][0]["kind"], "picker");
}

TEST_F(UploadRoutes, anUploadCutOffHalfWayIsNotImportedAndLeavesNothing)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    openPicker(hosted);
    const std::string bytes = epubBytes("Cut Off");
    const std::string head = "POST /pick?name=Cut.epub HTTP/1.1\r\nHost: " + hosted.hostName()
        + "\r\nX-Pagewyn-Token: " + hosted.host().token()
        + "\r\nContent-Type: application/epub+zip\r\nContent-Length: "
        + std::to_string(bytes.size()) + "\r\n\r\n";
    // The sender goes away half way: no one is left to answer, so what shows is the library and
    // the inbox once the host has let the upload go.
    sendAndClose(hosted.host().port(), head + bytes.substr(0, bytes.size() / 2));
    auto settled = [&] { return fs::exists(inbox()) && entriesIn(inbox()) == 0; };
    fixtures::runMainLoopUntil(settled);
    EXPECT_TRUE(settled());
    EXPECT_FALSE(fs::exists(hosted.app().library().itemPath("Cut.epub")));
    EXPECT_EQ(fixtures::listedFiles(), (std::vector<std::string> { "old.epub" }));
    EXPECT_EQ(hosted.state()["presented"][0]["kind"], "picker");

    // A body whose length is not said could not be told from a cut-off one: it is not taken.
    const std::string unsaid = "POST /pick?name=Cut.epub HTTP/1.1\r\nHost: " + hosted.hostName()
        + "\r\nX-Pagewyn-Token: " + hosted.host().token() + "\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(
        fixtures::rawExchange(hosted.host().port(), unsaid + bytes).rfind("HTTP/1.1 411", 0), 0u);
    EXPECT_FALSE(fs::exists(hosted.app().library().itemPath("Cut.epub")));
}

// The sender learns that the book did not get in, and why, in the words of its own file; so does
// the console. The library costs nothing.
TEST_F(UploadRoutes, aBrokenBookIsRefusedWithItsReasonAndCostsTheLibraryNothing)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    for (const char* route : { "/handoff", "/pick" }) {
        if (std::string(route) == "/pick")
            openPicker(hosted);
        hosted.app().takeConsole();
        auto answer = hosted.post(std::string(route) + "?name=old.epub", "this is no zip archive",
            hosted.page(), "application/epub+zip");
        EXPECT_EQ(answer.status, 422) << route << answer.body;
        auto reason = answer.json()["error"].get<std::string>();
        EXPECT_FALSE(reason.empty()) << route;
        EXPECT_EQ(reason.find(inbox()), std::string::npos) << reason;
        EXPECT_EQ(answer.json()["state"]["screen"]["table"]["rowCount"], 1) << route;
        auto console = hosted.app().takeConsole();
        ASSERT_FALSE(console.empty()) << route;
        EXPECT_EQ(console.back().rfind("Can't import: \"old.epub\"", 0), 0u) << console.back();
        EXPECT_TRUE(fs::is_regular_file(hosted.app().library().itemPath("old.epub")))
            << "the book of that name stays";
        EXPECT_EQ(entriesIn(inbox()), 0u);
    }
}

TEST_F(UploadRoutes, uploadsNeedTheLaunchTokenAndOtherBodiesStayBounded)
{
    fixtures::HostedApp hosted(oneBook, true, options());
    openPicker(hosted);
    auto stranger = hosted.post("/pick?name=New.epub", epubBytes("Stranger"),
        { { "Host", hosted.hostName() } }, "application/epub+zip");
    EXPECT_EQ(stranger.status, 403);
    auto otherSite = hosted.post("/handoff?name=New.epub", epubBytes("Stranger"),
        { { "X-Pagewyn-Token", hosted.host().token() }, { "Origin", "http://evil.example" } },
        "application/epub+zip");
    EXPECT_EQ(otherSite.status, 403);
    EXPECT_FALSE(fs::exists(hosted.app().library().itemPath("New.epub")));

    // Bodies of the other routes may not escape their bound by leaving out their length.
    const std::string chunkedEvent = "POST /event HTTP/1.1\r\nHost: " + hosted.hostName()
        + "\r\nX-Pagewyn-Token: " + hosted.host().token()
        + "\r\nContent-Type: application/json\r\nConnection: close\r\nTransfer-Encoding: "
          "chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n";
    EXPECT_EQ(
        fixtures::rawExchange(hosted.host().port(), chunkedEvent).rfind("HTTP/1.1 411", 0), 0u);
}

TEST_F(UploadRoutes, whileTheApplicationStartsUploadsAreAskedToWait)
{
    fixtures::HostedApp hosted(oneBook, false, options());
    auto answer = hosted.post(
        "/handoff?name=Early.epub", epubBytes("Early"), hosted.page(), "application/epub+zip");
    EXPECT_EQ(answer.status, 503);
    EXPECT_FALSE(fs::exists(hosted.app().library().itemPath("Early.epub")));
    auto instance = hosted.get("/instance").json();
    EXPECT_EQ(instance["ready"], false);
}

}
