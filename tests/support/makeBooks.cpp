// pagewyn_make_books: writes zipped EPUB books with the tests' builder, for scripts such as the
// soak. Each line of standard input is "PATH<TAB>TITLE<TAB>AUTHOR"; the book written at PATH has
// one chapter holding its title. Exits 1 at the first line it cannot write.
#include "tests/support/EpubFixture.h"

#include <exception>
#include <iostream>
#include <string>

int main()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        auto firstTab = line.find('\t');
        auto secondTab = firstTab == std::string::npos ? firstTab : line.find('\t', firstTab + 1);
        if (secondTab == std::string::npos) {
            std::cerr << "pagewyn_make_books: expected PATH<TAB>TITLE<TAB>AUTHOR, got: " << line << '\n';
            return 1;
        }
        auto title = line.substr(firstTab + 1, secondTab - firstTab - 1);
        fixtures::EpubFixture book {
            .title = title,
            .author = line.substr(secondTab + 1),
            .chapters = { { "One", title } },
        };
        try {
            book.writeZipped(line.substr(0, firstTab));
        } catch (const std::exception& error) {
            std::cerr << "pagewyn_make_books: " << error.what() << '\n';
            return 1;
        }
    }
    return 0;
}
