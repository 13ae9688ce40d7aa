// pagewyn.conf: every key as a person writes it, and every line that must stop the start.
#include "app/SettingsFile.h"
#include "tests/support/TemporaryFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct Case {
    const char* text;
    std::optional<std::string> documents;
    std::optional<std::string> listen;
    std::optional<int> port;
};

TEST(SettingsFile, readsEveryKeyAsWritten)
{
    const Case cases[] = {
        { "", {}, {}, {} },
        { "# only a comment\n\n   \n", {}, {}, {} },
        { "documents = /srv/books", "/srv/books", {}, {} },
        { "documents=~/Books\r\n", "/home/ann/Books", {}, {} },
        { "documents = ~", "/home/ann", {}, {} },
        { "  documents =  /a b/c d  \n", "/a b/c d", {}, {} },
        { "documents = /books#1", "/books#1", {}, {} },
        { "listen = 0.0.0.0", {}, "0.0.0.0", {} },
        { "listen = 0.0.0.0:8080", {}, "0.0.0.0", 8080 },
        { "listen = [::]:8080", {}, "::", 8080 },
        { "listen = ::1", {}, "::1", {} },
        { "port = 0", {}, {}, 0 },
        { "port = 65535", {}, {}, 65535 },
        { "listen = 0.0.0.0:8080\nport = 8080", {}, "0.0.0.0", 8080 },
        { "\tport\t=\t9000\t", {}, {}, 9000 },
        { "documents = /b\nlisten = ::\nport = 80\n# the end", "/b", "::", 80 },
    };
    for (const auto& example : cases) {
        auto settings = parseSettings(example.text, "/home/ann");
        ASSERT_TRUE(settings) << example.text << ": " << settings.error().description();
        EXPECT_EQ(settings->documents, example.documents) << example.text;
        EXPECT_EQ(settings->listen, example.listen) << example.text;
        EXPECT_EQ(settings->port, example.port) << example.text;
    }
}

TEST(SettingsFile, namesTheLineAndTheFaultOfEveryBadLine)
{
    const std::pair<std::string, const char*> cases[] = {
        { "documents /srv/books", "pagewyn.conf line 1: expected KEY = VALUE" },
        { "# library\n\nprot = 8080",
            "pagewyn.conf line 3: unknown key \"prot\" (the keys are documents, listen and port)" },
        { "Port = 8080",
            "pagewyn.conf line 1: unknown key \"Port\" (the keys are documents, listen and port)" },
        { "= /srv",
            "pagewyn.conf line 1: unknown key \"\" (the keys are documents, listen and port)" },
        { "documents =", "pagewyn.conf line 1: documents has no value" },
        { "documents = Books",
            "pagewyn.conf line 1: documents must be an absolute folder (/…) or start with ~/" },
        { "documents = ~ann/Books",
            "pagewyn.conf line 1: documents must be an absolute folder (/…) or start with ~/" },
        { "documents = /a\ndocuments = /b",
            "pagewyn.conf line 2: documents is already set on line 1" },
        { "port = 65536", "pagewyn.conf line 1: port must be a number from 0 to 65535" },
        { "port = -1", "pagewyn.conf line 1: port must be a number from 0 to 65535" },
        { "port = 8080 # usual", "pagewyn.conf line 1: port must be a number from 0 to 65535" },
        { "port = 0x50", "pagewyn.conf line 1: port must be a number from 0 to 65535" },
        { "port = 000000080", "pagewyn.conf line 1: port must be a number from 0 to 65535" },
        { "listen = example.com", "pagewyn.conf line 1: listen: " },
        { "listen = 0.0.0.0:99999", "pagewyn.conf line 1: listen: " },
        { "port = 9000\nlisten = 0.0.0.0:8080",
            "pagewyn.conf line 2: the port is already 9000 on line 1" },
        { "listen = [::]:8080\n\nport = 9000",
            "pagewyn.conf line 3: the port is already 8080 on line 1" },
        { std::string("port = 80\0\n", 11), "pagewyn.conf line 1: holds a NUL byte" },
    };
    for (const auto& [text, expected] : cases) {
        auto settings = parseSettings(text, "/home/ann");
        ASSERT_FALSE(settings) << text;
        EXPECT_EQ(settings.error().description().rfind(expected, 0), 0u)
            << settings.error().description();
    }
    EXPECT_EQ(parseSettings("documents = ~/Books", "").error().description(),
        "pagewyn.conf line 1: documents starts with ~ but the home folder is not known");
}

TEST(SettingsFile, aMissingFileIsNoSettingsAndAnUnreadableOneIsAnError)
{
    fixtures::TemporaryFolder folder;
    auto missing = readSettingsFile(folder.file("pagewyn.conf"), "/home/ann");
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->documents || missing->listen || missing->port);

    std::ofstream(folder.file("pagewyn.conf")) << "port = 8080\nlisten = ::1\n";
    auto written = readSettingsFile(folder.file("pagewyn.conf"), "/home/ann");
    ASSERT_TRUE(written);
    EXPECT_EQ(written->port, 8080);

    std::ofstream(folder.file("huge.conf")) << std::string(64 * 1024 + 1, '#');
    EXPECT_FALSE(readSettingsFile(folder.file("huge.conf"), "/home/ann"));
    EXPECT_FALSE(readSettingsFile(folder.path(), "/home/ann"));
    ASSERT_EQ(::mkfifo(folder.file("fifo.conf").c_str(), 0600), 0);
    EXPECT_FALSE(readSettingsFile(folder.file("fifo.conf"), "/home/ann"));
}

}
