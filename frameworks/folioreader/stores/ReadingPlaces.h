// Reading places: where each book of a library was left, and the text size and night mode it was
// read with, kept in one small file beside the highlight database ("reading-places.json"). The
// library never needs the file: a lost or broken one only opens books at their start.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace folioreader {

// A place in a book: the document of its spine and the character of that document's body text
// (counted as the reader counts highlights), so it survives a new page size or text size; or, for
// a screen that begins with a picture, the picture-th of those standing after offset characters.
struct ReadingPlace {
    std::string document;
    std::uint64_t offset = 0;
    double fontScale = 1;
    bool night = false;
    std::uint64_t picture = 0;
    // How far into the book's text the place stands, from 0 to 1, and whether the book's last
    // screen was reached; unknown in places kept before the reader measured it.
    std::optional<double> progress;
    bool finished = false;
    // When the place was kept, in seconds since 1970 (0: not known), and the reading device it
    // came from when another device pushed it (empty: this program's own reader).
    std::int64_t keptAt = 0;
    std::string device;

    bool operator==(const ReadingPlace&) const = default;
};

// The file's name in the folder of the highlight database.
inline constexpr const char* readingPlacesName = "reading-places.json";

// The place kept for the book (its item name in the library), or nothing: none kept, or the file
// is missing or cannot be read.
std::optional<ReadingPlace> readingPlace(const std::string& storePath, const std::string& book);
// Keeps the book's place. The others' places are kept as they are; entries of the file that
// cannot be read are dropped, and a file that is no reading-places file at all is started afresh.
foundation::Result<void> keepReadingPlace(
    const std::string& storePath, const std::string& book, const ReadingPlace& place);
// How far each book with a kept place has been read, by book, read from the file whole.
struct BookProgress {
    double progress = 0;
    bool finished = false;

    bool operator==(const BookProgress&) const = default;
};
std::map<std::string, BookProgress> readingProgress(const std::string& storePath);
// Forgets the book's place (the book was deleted). Nothing kept, nothing written.
foundation::Result<void> forgetReadingPlace(const std::string& storePath, const std::string& book);
// Grows with every write of a reading-places file by this program, so that a reader of the file
// that keeps what it read sees this program's own changes at once without looking at the file.
std::uint64_t readingPlacesWrites();

}
