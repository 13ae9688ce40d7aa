// Each book's files' stamp compared with the one its text was indexed under, then the books that
// differ read on a second thread and written one at a time, in the library's order.
#include "frameworks/folioreader/textindex/updateTextIndex.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "frameworks/folioreader/textindex/PackedBook.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/OrderedWork.h"

#include <algorithm>
#include <sys/stat.h>

namespace folioreader {

namespace {

enum class BookOutcome { indexed, later, stopped };

// Whether the update ends here, after waiting as long as it is asked to.
bool stopsHere(const TextIndexUpdate& update)
{
    if (update.pause)
        update.pause();
    return update.stopped && update.stopped();
}

// The stamp an unreadable book is recorded under: the item's and, for a folder, its container's
// when it has one; else the item's alone, so that a folder missing its container is said once too.
std::optional<std::vector<FileIdentity>> unreadableStamp(const std::string& path)
{
    if (auto stamp = currentStamp(path, {}))
        return stamp;
    struct stat status { };
    if (::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return std::vector<FileIdentity> { FileIdentity::of(status) };
}

// A book as the reading thread leaves it for the writing one.
struct BookRead {
    BookOutcome outcome = BookOutcome::later;
    TextIndex::IndexedBook indexed;
    std::optional<PackedBook> packed; // none: unreadable, for why
    std::string why;
    std::vector<std::string> passedOver; // the parts of a packed book left out, and why
};

// Reads and packs the book; touches the index not at all.
BookRead readBook(const std::string& folder, const std::string& name, const TextIndexUpdate& update,
    PassagePacker& packer)
{
    const std::string path = folder + "/" + name;
    const auto readStart = std::chrono::system_clock::now();
    // An unreadable book is recorded under the item's own stamp, the one its next update
    // compares, so it is tried again only once it changes.
    auto unreadable = [&](const std::string& why) {
        auto stamp = unreadableStamp(path);
        if (!stamp || !isSettled(*stamp, readStart, update.unsettledWindow))
            return BookRead {};
        return BookRead { BookOutcome::indexed, { encodeStamp(*stamp), {}, false }, {}, why };
    };
    auto book = EpubContainer::open(path);
    if (!book)
        return unreadable(book.error().description());
    std::vector<FileIdentity> stamp;
    auto package = readStampedPackage(*book, stamp);
    if (!package)
        return unreadable(package.error().description());
    if (!isSettled(stamp, readStart, update.unsettledWindow))
        return {};
    TextIndex::IndexedBook indexed { encodeStamp(stamp),
        stamp.size() > 1 ? package->name : std::string(), true };
    auto passages = readBookPassages(*book, *package, [&] { return stopsHere(update); });
    if (stopsHere(update))
        return { BookOutcome::stopped };
    if (!passages)
        return unreadable(passages.error().description());
    auto passedOver = std::move(passages->passedOver);
    return { BookOutcome::indexed, std::move(indexed), packBook(std::move(*passages), packer), {},
        std::move(passedOver) };
}

BookOutcome writeBook(
    TextIndex& index, const std::string& folder, const std::string& name, BookRead read)
{
    if (read.outcome != BookOutcome::indexed)
        return read.outcome;
    bool written = false;
    if (read.packed) {
        written = index.replaceBook(folder, name, read.indexed, std::move(*read.packed));
        // Said once for the book's version, as an unreadable book is: it is read again only
        // once it changes.
        if (written)
            for (const std::string& why : read.passedOver)
                foundation::console("Can't index: " + why + " (the rest of the book is searched)");
    } else {
        foundation::console("Can't index: " + read.why);
        written = index.markUnreadable(folder, name, read.indexed);
    }
    return written ? BookOutcome::indexed : BookOutcome::later;
}

}

TextIndexOutcome updateTextIndex(TextIndex& index, const std::string& folder,
    const std::vector<std::string>& names, const TextIndexUpdate& update)
{
    TextIndexOutcome outcome;
    // The listed books in the order of their names, gone over beside the indexed ones a page at a
    // time in the same order: those indexed and not listed are gone from the folder and taken
    // out first, so their passages are found no more; those listed and not indexed, or changed
    // since, are read.
    constexpr std::size_t pageOfBooks = 1000;
    std::vector<std::size_t> byName(names.size());
    for (std::size_t at = 0; at < names.size(); ++at)
        byName[at] = at;
    std::sort(byName.begin(), byName.end(),
        [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
    byName.erase(std::unique(byName.begin(), byName.end(),
                     [&](std::size_t a, std::size_t b) { return names[a] == names[b]; }),
        byName.end());
    std::vector<std::size_t> toRead;
    auto listed = byName.begin();
    std::string after;
    for (;;) {
        auto page = index.booksOf(folder, after, pageOfBooks);
        for (const auto& [name, book] : page) {
            if (stopsHere(update))
                return outcome;
            for (; listed != byName.end() && names[*listed] < name; ++listed)
                toRead.push_back(*listed);
            if (listed == byName.end() || names[*listed] != name) {
                index.removeBook(folder, name);
                continue;
            }
            const std::string path = folder + "/" + name;
            auto stamp
                = book.readable ? currentStamp(path, book.packageName) : unreadableStamp(path);
            if (stamp && encodeStamp(*stamp) == book.stamp)
                ++outcome.indexed;
            else
                toRead.push_back(*listed);
            ++listed;
        }
        if (page.size() < pageOfBooks)
            break;
        after = page.back().first;
    }
    toRead.insert(toRead.end(), listed, byName.end());
    // Read in the library's order.
    std::sort(toRead.begin(), toRead.end());
    // A second thread reads and packs the next book while this one writes the last: writing its
    // words is half the work. It holds one book ready at most (a second saved no time and cost
    // 1 MB more at its peak), and is made by this thread, so it runs at its priority.
    PassagePacker packer;
    foundation::OrderedWork<BookRead> reads(toRead.size(), { 1, 1, 1, false },
        [&](std::size_t at) { return readBook(folder, names[toRead[at]], update, packer); });
    bool leftForLater = false;
    for (std::size_t at = 0; at < toRead.size(); ++at) {
        if (stopsHere(update))
            return outcome;
        switch (writeBook(index, folder, names[toRead[at]], reads.take(at))) {
        case BookOutcome::indexed:
            ++outcome.indexed;
            ++outcome.read;
            break;
        case BookOutcome::later:
            leftForLater = true;
            break;
        case BookOutcome::stopped:
            return outcome;
        }
        if (update.progress)
            update.progress(outcome.indexed, names.size());
    }
    outcome.complete = !leftForLater;
    if (outcome.read > 0)
        index.merge([&] { return stopsHere(update); });
    return outcome;
}

}
