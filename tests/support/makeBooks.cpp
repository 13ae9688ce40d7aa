// pagewyn_make_books: writes EPUB books with the tests' builder, many in one run, for the soak, the
// benchmarks and the browser tests. Each line of standard input is one book, in one of two forms:
//   - "PATH<TAB>TITLE<TAB>AUTHOR", with an optional "<TAB>WIDTHxHEIGHT" for a cover of that many
//     pixels in a colour of its own (no two books of one run share a cover): a zipped book whose
//     one chapter holds its title;
//   - a JSON object, "{...}", naming every entry of the book (see BookManifest.h): whatever book a
//     test describes, zipped or unpacked, hostile ones included.
// Exits 1 at the first line it cannot read or write, saying which and why.
#include "tests/support/BookManifest.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TinyPictures.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace {

// The book of a "PATH<TAB>TITLE<TAB>AUTHOR[<TAB>WIDTHxHEIGHT]" line, the number-th of the run;
// nothing when the line is not of that form.
std::optional<fixtures::EpubFixture> tabbedBook(const std::string& line, std::uint32_t number)
{
    auto firstTab = line.find('\t');
    auto secondTab = firstTab == std::string::npos ? firstTab : line.find('\t', firstTab + 1);
    if (secondTab == std::string::npos)
        return std::nullopt;
    auto thirdTab = line.find('\t', secondTab + 1);
    auto title = line.substr(firstTab + 1, secondTab - firstTab - 1);
    fixtures::EpubFixture book {
        .title = title,
        .author = line.substr(secondTab + 1,
            thirdTab == std::string::npos ? std::string::npos : thirdTab - secondTab - 1),
        .chapters = { { "One", title } },
    };
    if (thirdTab != std::string::npos) {
        int width = 0;
        int height = 0;
        if (std::sscanf(line.c_str() + thirdTab + 1, "%dx%d", &width, &height) != 2 || width < 1
            || height < 1 || width > 4096 || height > 4096)
            return std::nullopt;
        book.cover = fixtures::Cover::epub3;
        book.coverData = fixtures::solidPng(
            width, height, number & 0xff, (number >> 8) & 0xff, (number >> 16) & 0xff);
    }
    return book;
}

}

int main()
{
    std::string line;
    std::uint32_t number = 0;
    while (std::getline(std::cin, line)) {
        ++number;
        auto fail = [&](const std::string& why) {
            std::cerr << "pagewyn_make_books: line " << number << ": " << why << '\n';
            return 1;
        };
        try {
            if (line.starts_with('{')) {
                auto book = fixtures::BookManifest::parse(line);
                if (!book)
                    return fail(book.error().description());
                book->write();
            } else if (auto book = tabbedBook(line, number)) {
                book->writeZipped(line.substr(0, line.find('\t')));
            } else {
                return fail(
                    "expected a JSON object or PATH<TAB>TITLE<TAB>AUTHOR[<TAB>WIDTHxHEIGHT], each "
                    "side 1 to 4096, got: "
                    + line);
            }
        } catch (const std::exception& error) {
            return fail(error.what());
        }
    }
    return 0;
}
