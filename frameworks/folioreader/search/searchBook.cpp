// The pages are taken in order by a few workers, at most a few pages ahead of the one whose matches
// are handed on, so a search of a large book holds a handful of pages in memory, never the book.
#include "frameworks/folioreader/search/searchBook.h"

#include "frameworks/folioreader/epub/EntryName.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/OrderedWork.h"

#include <algorithm>
#include <new>
#include <optional>
#include <thread>
#include <vector>

namespace folioreader {

namespace {

// Reads the file into bytes.
bool readContent(const ui::ServedFile& file, std::string& bytes)
{
    bytes.resize(file.size());
    return foundation::readAllAt(file.descriptor(), bytes.data(), bytes.size(), 0);
}

// The largest style sheet read for the rules that hide elements: more is no style sheet.
constexpr std::size_t largestStyleSheet = 4 << 20;

// The elements the page at entryName hides, by its own style and the style sheets it links.
HiddenElements hiddenElementsOf(const ReaderSession& session, std::string_view entryName,
    std::string_view xhtml)
{
    return HiddenElements::ofPage(xhtml, [&](std::string_view href) -> std::optional<std::string> {
        auto name = resolveHref(folderOf(entryName), href);
        if (!name)
            return std::nullopt;
        auto file = session.openContent(*name);
        std::string css;
        if (!file || file->size() > largestStyleSheet || !readContent(*file, css))
            return std::nullopt;
        return css;
    });
}

struct PageMatches {
    std::vector<SearchMatch> matches;
    bool complete = true;
};

}

BookSearchOutcome searchBook(const ReaderSession& session, const std::u32string& foldedQuery, std::size_t most,
    const std::function<bool()>& cancelled, const std::function<bool(std::size_t page, const SearchMatch&)>& found)
{
    const auto& spine = session.spine();
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    auto searchPage = [&](std::size_t page) {
        // Each worker keeps the room of the page it read last for the next, until the search ends
        // with its thread.
        thread_local std::string bytes;
        PageMatches result;
        // A page that cannot be read has no matches; the others are still searched.
        auto file = cancelled() ? std::nullopt : std::optional(session.openContent(spine[page].entryName));
        try {
            if (file && *file && readContent(**file, bytes)) {
                auto hidden = hiddenElementsOf(session, spine[page].entryName, bytes);
                result.complete = searchDocument(
                    bytes, foldedQuery,
                    [&](const SearchMatch& match) {
                        if (result.matches.size() >= most || cancelled())
                            return false;
                        result.matches.push_back(match);
                        return true;
                    },
                    ScanWidth::thirtyTwo, &hidden);
            }
        } catch (const std::bad_alloc&) {
            // No room for the page or its matches: the search ends there, incomplete.
            result = {};
            result.complete = false;
        }
        return result;
    };
    // At most twice as many pages ahead of the one whose matches are handed on as there are workers.
    foundation::OrderedWork<PageMatches> pages(spine.size(), { .workers = workers, .chunk = 1, .window = 2 * workers }, searchPage);

    BookSearchOutcome outcome;
    for (std::size_t page = 0; page < spine.size() && outcome.complete; ++page) {
        if (cancelled()) {
            outcome.complete = false;
            outcome.cancelled = true;
            break;
        }
        PageMatches result = pages.take(page);
        for (const auto& match : result.matches) {
            if (outcome.count >= most || cancelled()) {
                outcome.complete = false;
                break;
            }
            ++outcome.count;
            if (!found(page, match)) {
                outcome.complete = false;
                break;
            }
        }
        outcome.complete = outcome.complete && result.complete;
    }
    return outcome;
}

}
