// WorkFolder: a hidden folder inside the library where an import unpacks and a delete puts a book
// aside, so that the library's own items change only by single renames.
#pragma once

#include "platform/foundation/Result.h"

#include <functional>
#include <string>
#include <string_view>

class WorkFolder {
public:
    // What the folder is for; its name is the prefix and six random characters. Neither ends in
    // ".epub", so the scan never lists a work folder as a book.
    static constexpr std::string_view importPrefix = ".import-";
    static constexpr std::string_view deletePrefix = ".delete-";

    // Makes a new work folder in the library and holds a lock on it for as long as this object
    // lives, so that the start-up of another Pagewyn on the same library leaves it alone.
    static foundation::Result<WorkFolder> create(
        const std::string& library, std::string_view prefix);

    WorkFolder(WorkFolder&& other) noexcept;
    WorkFolder& operator=(WorkFolder&&) = delete;
    WorkFolder(const WorkFolder&) = delete;
    // Removes the folder with everything in it, unless keep() was called. A removal that fails
    // part way leaves the rest to the next start.
    ~WorkFolder();

    const std::string& path() const { return m_path; }
    // Writes what was made inside through to the disk, before it replaces anything.
    foundation::Result<void> syncToDisk() const;
    // The folder holds what must not be lost (a book that could not be moved back): it stays for
    // the next start to put back.
    void keep() { m_kept = true; }

private:
    WorkFolder(std::string path, int lock)
        : m_path(std::move(path))
        , m_lock(lock)
    {
    }

    std::string m_path;
    int m_lock = -1;
    bool m_kept = false;
};

// Inside an import's work folder: the unpacked book, the old book moved aside (only where the
// file system cannot exchange two items in one step), and a file naming the book's item, which
// tells the next start where the old book goes back to.
constexpr std::string_view unpackedBookName = "book";
constexpr std::string_view previousBookName = "previous";
constexpr std::string_view bookNameFile = "name";

// Is the name one of a work folder (an import's or a delete's): a prefix and six letters or digits?
bool isWorkFolderName(std::string_view name);

// Swaps two items in one step (renameat2 with RENAME_EXCHANGE): true when done, false where the
// file system cannot (the caller then falls back to two renames), an error when it failed.
foundation::Result<bool> exchangeItems(const std::string& first, const std::string& second);
// Renames an item to a name that must still be free.
foundation::Result<void> renameItem(const std::string& from, const std::string& to);

// Test seams: called with a step's name before every step that changes the library, so that a
// test can stop the program there; and whether the one-step exchange is tried at all.
struct LibraryWorkSeams {
    std::function<void(std::string_view step)> beforeStep;
    bool tryExchange = true;
};
LibraryWorkSeams& libraryWorkSeams();
void libraryStep(std::string_view step);
