// A temporary library for the catalogue's tests.
#include "tests/library/LibraryFolder.h"

#include "library/BookList.h"
#include "library/ProgramState.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"

#include <stdexcept>

namespace fixtures {

LibraryFolder::LibraryFolder()
{
    resetProgramState();
    foundation::FileManager::setDocumentsDirectoryOverride(m_folder.path());
    foundation::setConsoleSink([this](std::string_view line) { m_console.emplace_back(line); });
}

LibraryFolder::~LibraryFolder()
{
    foundation::setConsoleSink({});
    foundation::FileManager::setDocumentsDirectoryOverride(std::nullopt);
    resetProgramState();
}

foundation::Date LibraryFolder::at(long long second)
{
    return foundation::Date(foundation::Date::TimePoint(std::chrono::seconds(second)));
}

void LibraryFolder::addBook(const std::string& name, const std::string& title,
    const std::string& author, long long modifiedAt)
{
    EpubFixture book;
    book.title = title;
    book.author = author;
    addBook(name, book, modifiedAt);
}

void LibraryFolder::addBook(const std::string& name, const EpubFixture& book, long long modifiedAt)
{
    book.writeZipped(itemPath(name));
    setModified(name, modifiedAt);
}

void LibraryFolder::setModified(const std::string& name, long long modifiedAt)
{
    foundation::FileAttributes change;
    change.set(foundation::FileAttributeKey::modificationDate, at(modifiedAt));
    if (!foundation::FileManager().setAttributes(change, itemPath(name)))
        throw std::runtime_error("cannot date " + name);
}

std::vector<std::string> LibraryFolder::takeConsole()
{
    return std::exchange(m_console, {});
}

std::vector<std::string> listedFiles()
{
    std::vector<std::string> files;
    for (const Book& book : bookList())
        files.push_back(book.file);
    return files;
}

}
