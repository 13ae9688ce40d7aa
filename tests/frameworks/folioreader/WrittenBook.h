// Helpers for the FolioReader tests: a book written in one of its two shapes.
#pragma once

#include "tests/support/EpubFixture.h"
#include "tests/support/TemporaryFolder.h"

#include <ostream>
#include <string>

namespace fixtures {

enum class Shape { zipped, unpacked };

inline std::ostream& operator<<(std::ostream& out, Shape shape)
{
    return out << (shape == Shape::zipped ? "zipped" : "unpacked");
}

// Writes the book as folder/name in that shape and answers its path.
inline std::string writeBook(const EpubFixture& book, Shape shape, const TemporaryFolder& folder,
    const std::string& name = "book.epub")
{
    std::string path = folder.file(name);
    if (shape == Shape::zipped)
        book.writeZipped(path);
    else
        book.writeUnpacked(path);
    return path;
}

}
