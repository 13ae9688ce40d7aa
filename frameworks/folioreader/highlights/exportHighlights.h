// Reading highlights against their books for taking away: one book's, and the whole library's as
// one Markdown file.
#pragma once

#include "frameworks/folioreader/highlights/HighlightMarkdown.h"
#include "frameworks/realm/Configuration.h"
#include "platform/foundation/Result.h"
#include "platform/ui/ExportedFile.h"

#include <string>
#include <vector>

namespace folioreader {

inline constexpr const char* markdownMediaType = "text/markdown; charset=utf-8";

// The highlights placed in the book at path (zipped or a folder), whose item name is file. A book
// that cannot be read keeps every highlight, with the problem said.
BookHighlights readBookHighlights(
    const std::string& path, const std::string& file, std::vector<Highlight> highlights);

// Every highlight the database keeps (opened read-only, so nothing is changed), each book read
// from folder by its item name, the books in the order of their titles. An error when the
// database cannot be read.
foundation::Result<ui::ExportedFile> exportLibraryHighlights(
    Realm::Configuration database, const std::string& folder);

}
