// Fuzz target: the values a reading app puts in the catalog's addresses. The input is a page
// number's text, a line break, and a name or search text. The page is read as every feed reads
// it (catalogPage); the text is folded as the catalog's search folds it, and made into the author
// link and id every feed writes, which must stay short enough for any server to take back.
#include "platform/host/opds/AtomFeed.h"
#include "platform/host/opds/CatalogRoutes.h"
#include "platform/text/SearchFold.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto lineBreak = input.find('\n');
    std::string_view pageText = input.substr(0, lineBreak);
    std::string text(
        lineBreak == std::string_view::npos ? std::string_view() : input.substr(lineBreak + 1));

    if (auto page = host::catalogPage(pageText); page && (*page == 0 || *page > 999'999'999))
        std::abort();
    text::searchFold(text);
    // A request line of a few kilobytes is what servers take: a link must never need more.
    constexpr std::size_t longestLink = 1024;
    if (host::AtomFeed::authorHref(text).size() > longestLink
        || host::AtomFeed::authorId(text).size() > longestLink)
        std::abort();
    if (host::authorKey(text).size() != 16)
        std::abort();
    return 0;
}
