// LibraryFolder: a temporary documents folder with the program's library state reset around it,
// books written into it with chosen dates, and the console lines the program wrote.
#pragma once

#include "library/Book.h"
#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <string>
#include <vector>

namespace fixtures {

class LibraryFolder {
public:
    LibraryFolder();
    ~LibraryFolder();

    const std::string& path() const { return m_folder.path(); }
    std::string itemPath(const std::string& name) const { return m_folder.file(name); }

    // Writes a zipped book with that title and author, modified at the given second.
    void addBook(const std::string& name, const std::string& title, const std::string& author,
        long long modifiedAt);
    void addBook(const std::string& name, const EpubFixture& book, long long modifiedAt);
    void setModified(const std::string& name, long long modifiedAt);
    static foundation::Date at(long long second);

    // Console lines written since the last call.
    std::vector<std::string> takeConsole();

private:
    TemporaryFolder m_folder;
    std::vector<std::string> m_console;
};

// The files of the program's book list, in list order.
std::vector<std::string> listedFiles();

}
