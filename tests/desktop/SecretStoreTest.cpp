// The secret store: what it keeps comes back whole, and no file it cannot trust is used.
#include "platform/desktop/SecretStore.h"
#include "tests/support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(SecretStore, keepsEveryKindOfEntryWholeInAPrivateFile)
{
    fixtures::TemporaryFolder folder;
    auto path = folder.file("config/pagewyn/secrets");
    const std::vector<desktop::SecretEntry> entries {
        { "catalog-password", { desktop::makeTypableSecret() } },
        { "device", { "Phone\t(Firefox)\nline\\two", "hash", "2026-12-08T04:00:00Z", "" } },
    };
    ASSERT_TRUE(desktop::writeSecretStore(path, entries));
    struct stat status { };
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    auto read = desktop::readSecretStore(path);
    EXPECT_EQ(read.distrusted, std::nullopt);
    EXPECT_EQ(read.entries, entries);
}

TEST(SecretStore, aFileThatCannotBeTrustedYieldsNoSecrets)
{
    fixtures::TemporaryFolder folder;
    auto path = folder.file("secrets");
    auto write = [&](const std::string& bytes, mode_t mode) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        ::chmod(path.c_str(), mode);
    };
    const std::string whole = "pagewyn-secrets 1\ncatalog-password\tabc\nend\n";
    const std::vector<std::pair<std::string, std::function<void()>>> cases {
        { "there was none", [] {} },
        { "it was empty", [&] { write("", 0600); } },
        { "it was readable by other users", [&] { write(whole, 0644); } },
        { "it was readable by other users", [&] { write(whole, 0640); } },
        { "it was cut short or damaged", [&] { write(whole.substr(0, whole.size() - 4), 0600); } },
        { "it was cut short or damaged", [&] { write("catalog-password\tabc\nend\n", 0600); } },
        { "it was cut short or damaged",
            [&] { write("pagewyn-secrets 1\ncatalog-password\tab\\q\nend\n", 0600); } },
        { "it could not be read", [&] { std::filesystem::create_directory(path); } },
    };
    for (auto& [why, make] : cases) {
        std::filesystem::remove_all(path);
        make();
        auto read = desktop::readSecretStore(path);
        EXPECT_EQ(read.distrusted, why);
        EXPECT_TRUE(read.entries.empty()) << why;
    }
}

TEST(SecretStore, secretsAreLongTypableAndNeverRepeat)
{
    auto first = desktop::makeTypableSecret();
    EXPECT_EQ(first.size(), desktop::typableSecretLength);
    EXPECT_EQ(first.find_first_not_of("abcdefghijkmnpqrstuvwxyz23456789"), std::string::npos);
    EXPECT_NE(first, desktop::makeTypableSecret());
}

}
