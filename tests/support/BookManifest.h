// A book described in one line of JSON, as the browser tests ask pagewyn_make_books for theirs:
//
//     {"path": "/tmp/library/a.epub", "unpacked": false, "modified": 1700000000, "entries": [
//       {"name": "mimetype", "text": "application/epub+zip", "stored": true},
//       {"name": "OEBPS/font.ttf", "base64": "AAEAAAAS..."},
//       {"name": "OEBPS/cover.png", "png": {"width": 40, "height": 60, "color": [200, 40, 40]}},
//       {"name": "OEBPS/leak.xhtml", "link": "/etc/hostname"}]}
//
// Each entry holds exactly one of text, base64 bytes, a PNG of one colour, or a link; entries are
// deflated unless stored is true. "unpacked" and "modified" (seconds since 1970) may be left out.
#pragma once

#include "platform/foundation/Result.h"
#include "tests/support/BookWriting.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fixtures {

struct BookManifest {
    std::string path;
    bool unpacked = false;
    std::optional<std::int64_t> modified {};
    std::vector<Entry> entries {};

    // The book the line describes, or what is wrong with the line.
    static foundation::Result<BookManifest> parse(std::string_view line);

    // Writes the book at path, a zip archive or a folder, and gives it its modification time.
    // Throws std::runtime_error when it cannot.
    void write() const;
};

}
