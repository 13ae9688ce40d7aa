// pagewyn_make_books: writes zipped EPUB books with the tests' builder, for scripts such as the
// soak and the browser tests. Each line of standard input is "PATH<TAB>TITLE<TAB>AUTHOR", with
// an optional "<TAB>WIDTHxHEIGHT" for a cover of that many pixels in a colour of its own (no two
// books of one run share a cover); the book written at PATH has one chapter holding its title.
// Exits 1 at the first line it cannot write.
#include "tests/support/EpubFixture.h"
#include "tests/support/TinyPictures.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

int main()
{
    std::string line;
    std::uint32_t books = 0;
    while (std::getline(std::cin, line)) {
        auto firstTab = line.find('\t');
        auto secondTab = firstTab == std::string::npos ? firstTab : line.find('\t', firstTab + 1);
        if (secondTab == std::string::npos) {
            std::cerr << "pagewyn_make_books: expected PATH<TAB>TITLE<TAB>AUTHOR[<TAB>WIDTHxHEIGHT], got: " << line << '\n';
            return 1;
        }
        auto thirdTab = line.find('\t', secondTab + 1);
        auto title = line.substr(firstTab + 1, secondTab - firstTab - 1);
        fixtures::EpubFixture book {
            .title = title,
            .author = line.substr(secondTab + 1, thirdTab == std::string::npos ? std::string::npos : thirdTab - secondTab - 1),
            .chapters = { { "One", title } },
        };
        ++books;
        try {
            if (thirdTab != std::string::npos) {
                int width = 0;
                int height = 0;
                if (std::sscanf(line.c_str() + thirdTab + 1, "%dx%d", &width, &height) != 2 || width < 1 || height < 1
                    || width > 4096 || height > 4096) {
                    std::cerr << "pagewyn_make_books: a cover is WIDTHxHEIGHT, each 1 to 4096, got: " << line << '\n';
                    return 1;
                }
                book.cover = fixtures::Cover::epub3;
                book.coverData = fixtures::solidPng(width, height, books & 0xff, (books >> 8) & 0xff, (books >> 16) & 0xff);
            }
            book.writeZipped(line.substr(0, firstTab));
        } catch (const std::exception& error) {
            std::cerr << "pagewyn_make_books: " << error.what() << '\n';
            return 1;
        }
    }
    return 0;
}
