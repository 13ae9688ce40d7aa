// The files of a book and their writing to disk: a zip archive whose entries are each stored or
// deflated, or a folder that no entry can lead out of.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace fixtures {

struct Entry {
    std::string name; // path inside the book, "/"-separated
    std::string bytes;
    // In a zip archive: kept as it is rather than deflated.
    bool stored = false;
    // A symbolic link to this target instead of a file holding bytes; the target may lie anywhere,
    // as a hostile book's does.
    std::optional<std::string> linkTarget {};
};

// Writes a zip archive of the entries, in their order, at path, replacing a file already there.
// Names go in as they are given, "../up" and "/absolute" too: a hostile archive is a book as well.
// Throws std::runtime_error when it cannot.
void writeZip(const std::string& path, const std::vector<Entry>& entries);

// Writes the entries into the folder at path, created as needed. Throws std::runtime_error for an
// entry that would land outside the folder (an absolute name, a ".." segment, a way through a
// link written before it) and when it cannot write.
void writeFolder(const std::string& path, const std::vector<Entry>& entries);

// Writes bytes at path, its folders created as needed. Throws std::runtime_error when it cannot.
void writeFile(const std::string& path, const std::string& bytes);

}
