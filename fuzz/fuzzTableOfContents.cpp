// Fuzz target: a book's table of contents, the same bytes read both as an EPUB 3 navigation
// document and as an EPUB 2 NCX. Both parsers work in place, so each gets its own copy.
#include "frameworks/folioreader/epub/TableOfContents.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void checkBounds(const foundation::Result<std::vector<folioreader::TocEntry>>& entries)
{
    if (!entries)
        return;
    if (entries->size() > folioreader::maximumTocEntries)
        std::abort();
    for (auto& entry : *entries) {
        if (entry.depth < 0 || entry.depth > folioreader::maximumTocDepth)
            std::abort();
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string navigation(reinterpret_cast<const char*>(data), size);
    std::string ncx = navigation;
    checkBounds(folioreader::parseNavigationDocument(navigation, "OEBPS/nav.xhtml"));
    checkBounds(folioreader::parseNcx(ncx, "OEBPS/toc.ncx"));
    return 0;
}
