// The pages are taken in order by a few workers, at most a few pages ahead of the one whose matches
// are handed on, so a search of a large book holds a handful of pages in memory, never the book.
#include "frameworks/folioreader/search/searchBook.h"

#include "frameworks/folioreader/epub/EntryName.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/OrderedWork.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
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

// The rules that hide elements in the book's style sheets, each read once, by whichever worker
// first meets a page that links it.
class StyleSheets {
public:
    explicit StyleSheets(const ReaderSession& session)
        : m_session(session)
    {
    }

    // The elements the page at entryName hides, by its own style and the style sheets it links.
    HiddenElements hiddenIn(std::string_view entryName, std::string_view xhtml)
    {
        auto linked = [&](std::string_view href) { return rulesOf(entryName, href); };
        return HiddenElements::ofPage(xhtml, linked);
    }

private:
    const ReaderSession& m_session;
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<const HiddenElements>, std::less<>> m_read;

    std::shared_ptr<const HiddenElements> rulesOf(std::string_view entryName, std::string_view href)
    {
        auto name = resolveHref(folderOf(entryName), href);
        if (!name)
            return nullptr;
        std::lock_guard lock(m_mutex);
        if (auto known = m_read.find(*name); known != m_read.end())
            return known->second;
        auto file = m_session.openContent(*name);
        std::string css;
        std::shared_ptr<HiddenElements> rules;
        if (file && file->size() <= largestStyleSheet && readContent(*file, css)) {
            rules = std::make_shared<HiddenElements>();
            rules->addStyleSheet(css);
        }
        m_read.emplace(*name, rules);
        return rules;
    }
};

struct PageMatches {
    std::vector<SearchMatch> matches;
    bool complete = true;
};

}

BookSearchOutcome searchBook(const ReaderSession& session, const std::u32string& foldedQuery,
    std::size_t most, const std::function<bool()>& cancelled,
    const std::function<bool(std::size_t page, const SearchMatch&)>& found)
{
    const auto& spine = session.spine();
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    StyleSheets styleSheets(session);
    auto searchPage = [&](std::size_t page) {
        // Each worker keeps the room of the page it read last for the next, until the search ends
        // with its thread.
        thread_local std::string bytes;
        PageMatches result;
        // A page that cannot be read has no matches; the others are still searched.
        auto file = cancelled() ? std::nullopt
                                : std::optional(session.openContent(spine[page].entryName));
        try {
            if (file && *file && readContent(**file, bytes)) {
                auto hidden = styleSheets.hiddenIn(spine[page].entryName, bytes);
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
    // At most twice as many pages ahead of the one whose matches are handed on as there are
    // workers.
    foundation::OrderedWork<PageMatches> pages(
        spine.size(), { .workers = workers, .chunk = 1, .window = 2 * workers }, searchPage);

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
