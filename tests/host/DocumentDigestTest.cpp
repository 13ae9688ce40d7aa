// The names reading devices give books: MD5 against the standard's vectors, and the sampled
// digest of files of every length around the samples' offsets, and of a folder book as the
// catalog sends it, each against the same digest taken another way (the whole file read at once,
// sliced at offsets computed apart, and hashed in one call).
#include "platform/host/kosync/documentDigest.h"
#include "platform/foundation/Md5.h"
#include "platform/host/opds/FolderZip.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <random>

namespace {

// The digest of the bytes, hashed in one call.
std::string md5Of(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

// The samples of the whole file, at 0 and at 1024 × 4^i for i from 0 to 10.
std::string sampledDigest(const std::string& file)
{
    std::string samples;
    for (int i = -1; i <= 10; ++i) {
        auto offset = std::size_t(i < 0 ? 0 : 1024 * std::pow(4.0, i));
        if (offset < file.size())
            samples += file.substr(offset, 1024);
    }
    return md5Of(samples);
}

TEST(DocumentDigest, md5GivesTheStandardDigests)
{
    const std::pair<std::string, const char*> cases[] = {
        { "", "d41d8cd98f00b204e9800998ecf8427e" },
        { "abc", "900150983cd24fb0d6963f7d28e17f72" },
        { "The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6" },
    };
    for (const auto& [text, digest] : cases) {
        EXPECT_EQ(foundation::Md5::hexOf(text), digest) << text;
        EXPECT_EQ(md5Of(text), digest) << "the test's own way";
    }
    foundation::Md5 pieces;
    pieces.add("The quick brown ").add("fox jumps over the lazy dog");
    EXPECT_EQ(pieces.hex(), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(host::fileNameDigest("Moby-Dick.epub"), md5Of("Moby-Dick.epub"));
}

TEST(DocumentDigest, samplesFilesOfEveryLengthAroundTheOffsets)
{
    fixtures::TemporaryFolder folder;
    std::mt19937 random(7);
    for (std::size_t size : { 0, 1, 1023, 1024, 1025, 2048, 4095, 4096, 5000, 16384, 17000, 70000,
             262144, 300000, 1100000 }) {
        std::string bytes(size, '\0');
        for (auto& byte : bytes)
            byte = char(random());
        std::string path = folder.file("book-" + std::to_string(size) + ".epub");
        std::ofstream(path, std::ios::binary) << bytes;
        auto digest = host::documentDigest(path);
        ASSERT_TRUE(digest) << digest.error().description();
        EXPECT_EQ(*digest, sampledDigest(bytes)) << size;
    }
    EXPECT_FALSE(host::documentDigest(folder.file("missing.epub")));
}

TEST(DocumentDigest, aFolderBookIsNamedByTheFileTheCatalogSends)
{
    fixtures::TemporaryFolder folder;
    fixtures::EpubFixture book;
    book.chapters = { { "One", std::string(9000, 'a') }, { "Two", std::string(30000, 'b') } };
    book.writeUnpacked(folder.file("Folder Book.epub"));
    auto zip = host::FolderZip::plan(folder.file("Folder Book.epub"));
    ASSERT_TRUE(zip);
    std::string sent;
    ASSERT_TRUE(zip->stream([&](const char* bytes, std::size_t size) {
        sent.append(bytes, size);
        return true;
    }));
    auto digest = host::documentDigest(folder.file("Folder Book.epub"));
    ASSERT_TRUE(digest) << digest.error().description();
    EXPECT_EQ(*digest, sampledDigest(sent));
}

}
