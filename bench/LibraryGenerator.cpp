// Writing synthetic EPUB libraries with the tests' book builder.
#include "bench/LibraryGenerator.h"

#include "tests/support/EpubFixture.h"

#include <filesystem>

namespace bench {

namespace {

const char* const words[] = {
    "Moby",
    "Dick",
    "War",
    "Peace",
    "Caf\xC3\xA9",
    "Cafe\xCC\x81",
    "\xC3\x89mile",
    "\xC3\x85sa",
    "Zola",
    "austen",
    "\xD0\x92\xD0\xBE\xD0\xB9\xD0\xBD\xD0\xB0",
    "\xE6\x9D\xB1\xE4\xBA\xAC",
    "\xE5\xA4\xA7\xE5\x9C\xB0",
    "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
    "\xD8\xA7\xD9\x84\xD9\x83\xD8\xAA\xD8\xA7\xD8\xA8",
    "\xF0\x9F\x93\x9A",
    "Night",
    "garden",
    "\xCE\x9F\xCE\xB4\xCF\x8D\xCF\x83\xCF\x83\xCE\xB5\xCE\xB9\xCE\xB1",
    "Stra\xC3\x9F"
    "e",
    "\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\x82\xE0\xA4\xA6\xE0\xA5\x80",
    "Ocean",
    "\xED\x95\x9C\xEA\xB8\x80",
    "river",
};
constexpr std::size_t wordCount = sizeof words / sizeof words[0];

void writeBook(const std::string& path, const SyntheticBook& book, bool zipped)
{
    fixtures::EpubFixture epub {
        .title = book.title,
        .author = book.author,
        .chapters = { { "One", "Call me Ishmael." } },
    };
    if (zipped)
        epub.writeZipped(path);
    else
        epub.writeUnpacked(path);
}

}

SyntheticBook syntheticBook(std::size_t n)
{
    auto word = [&](std::size_t salt) {
        return std::string(words[(n * 7919 + salt * 104729) % wordCount]);
    };
    SyntheticBook book;
    book.title = word(1) + " " + word(2) + " " + std::to_string(n % 97);
    book.author = word(3) + " " + word(4);
    book.file = "book-" + std::to_string(n) + ".epub";
    return book;
}

std::string generateLibrary(const std::string& folder, std::size_t count, bool zipped)
{
    std::filesystem::create_directories(folder);
    std::size_t present = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder))
        ++present;
    if (present == count)
        return folder;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (std::size_t n = 0; n < count; ++n) {
        auto book = syntheticBook(n);
        writeBook(folder + "/" + book.file, book, zipped);
    }
    return folder;
}

}
