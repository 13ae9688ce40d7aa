// The pages are taken in order by a few workers, at most a few pages ahead of the one whose matches
// are handed on, so a search of a large book holds a handful of pages in memory, never the book.
#include "frameworks/folioreader/searchBook.h"

#include "platform/foundation/FileDescriptor.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

namespace folioreader {

namespace {

// Reads the file into bytes, whose room is kept from file to file: a book's pages are read one
// after another without asking the system for fresh memory each time.
bool readContent(const ContentFile& file, std::string& bytes)
{
    bytes.resize(file.size());
    return foundation::readAllAt(file.descriptor(), bytes.data(), bytes.size(), 0);
}

struct PageMatches {
    std::vector<SearchMatch> matches;
    bool complete = true;
    bool ready = false;
};

}

BookSearchOutcome searchBook(const ReaderSession& session, const std::u32string& foldedQuery, std::size_t most,
    const std::function<bool()>& cancelled, const std::function<bool(std::size_t page, const SearchMatch&)>& found)
{
    const auto& spine = session.spine();
    const std::size_t workers = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    // How far past the page being handed on the workers may go.
    const std::size_t ahead = 2 * workers;
    std::vector<PageMatches> pages(spine.size());
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextPage = 0;
    std::size_t handedOn = 0;
    bool stopping = false;

    auto work = [&] {
        std::string bytes;
        for (;;) {
            std::size_t page = 0;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopping || nextPage >= pages.size() || nextPage < handedOn + ahead; });
                if (stopping || nextPage >= pages.size())
                    return;
                page = nextPage++;
            }
            PageMatches result;
            // A page that cannot be read has no matches; the others are still searched.
            auto file = cancelled() ? std::nullopt : std::optional(session.openContent(spine[page].entryName));
            try {
                if (file && *file && readContent(**file, bytes)) {
                    result.complete = searchDocument(bytes, foldedQuery, [&](const SearchMatch& match) {
                        if (result.matches.size() >= most || cancelled())
                            return false;
                        result.matches.push_back(match);
                        return true;
                    });
                }
            } catch (const std::bad_alloc&) {
                // No room for the page or its matches: the search ends there, incomplete.
                result = {};
                result.complete = false;
            }
            {
                std::lock_guard lock(mutex);
                result.ready = true;
                pages[page] = std::move(result);
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    struct Join {
        std::vector<std::thread>& threads;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stopping;
        ~Join()
        {
            {
                std::lock_guard lock(mutex);
                stopping = true;
            }
            changed.notify_all();
            for (auto& thread : threads)
                thread.join();
        }
    } join { threads, mutex, changed, stopping };
    for (std::size_t i = 0; i < std::min(workers, spine.size()); ++i)
        threads.emplace_back(work);

    BookSearchOutcome outcome;
    for (std::size_t page = 0; page < pages.size() && outcome.complete; ++page) {
        if (cancelled()) {
            outcome.complete = false;
            outcome.cancelled = true;
            break;
        }
        PageMatches result;
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return pages[page].ready; });
            result = std::move(pages[page]);
        }
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
        {
            std::lock_guard lock(mutex);
            handedOn = page + 1;
        }
        changed.notify_all();
    }
    return outcome;
}

}
