// One book at a time, in the library's order: its files' stamp compared with the one its text was
// indexed under, and read only when they differ.
#include "frameworks/folioreader/textindex/updateTextIndex.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"
#include "platform/foundation/Console.h"

#include <sys/stat.h>
#include <unordered_set>

namespace folioreader {

namespace {

enum class BookOutcome { indexed, later, stopped };

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

BookOutcome indexBook(TextIndex& index, const std::string& folder, const std::string& name,
    const TextIndexUpdate& update)
{
    const std::string path = folder + "/" + name;
    const auto readStart = std::chrono::system_clock::now();
    // An unreadable book is recorded under the item's own stamp, the one its next update
    // compares, so it is tried again only once it changes.
    auto unreadable = [&](const std::string& why) {
        auto stamp = unreadableStamp(path);
        if (!stamp || !isSettled(*stamp, readStart, update.unsettledWindow))
            return BookOutcome::later;
        foundation::console("Can't index: " + why);
        return index.markUnreadable(folder, name, { encodeStamp(*stamp), {}, false })
            ? BookOutcome::indexed
            : BookOutcome::later;
    };
    auto book = EpubContainer::open(path);
    if (!book)
        return unreadable(book.error().description());
    std::vector<FileIdentity> stamp;
    auto package = readStampedPackage(*book, stamp);
    if (!package)
        return unreadable(package.error().description());
    if (!isSettled(stamp, readStart, update.unsettledWindow))
        return BookOutcome::later;
    TextIndex::IndexedBook indexed { encodeStamp(stamp),
        stamp.size() > 1 ? package->name : std::string(), true };
    auto passages = readBookPassages(*book, *package, update.stopped);
    if (update.stopped && update.stopped())
        return BookOutcome::stopped;
    if (!passages)
        return unreadable(passages.error().description());
    return index.replaceBook(folder, name, indexed, *passages) ? BookOutcome::indexed
                                                               : BookOutcome::later;
}

}

TextIndexOutcome updateTextIndex(TextIndex& index, const std::string& folder,
    const std::vector<std::string>& names, const TextIndexUpdate& update)
{
    TextIndexOutcome outcome;
    auto indexed = index.booksOf(folder);
    // Books gone from the folder first: their passages are found no more.
    std::unordered_set<std::string_view> listed(names.begin(), names.end());
    for (const auto& [name, book] : indexed) {
        if (!listed.count(name))
            index.removeBook(folder, name);
    }
    bool leftForLater = false;
    for (const std::string& name : names) {
        if (update.stopped && update.stopped())
            return outcome;
        auto known = indexed.find(name);
        if (known != indexed.end()) {
            const std::string path = folder + "/" + name;
            auto stamp = known->second.readable ? currentStamp(path, known->second.packageName)
                                                : unreadableStamp(path);
            if (stamp && encodeStamp(*stamp) == known->second.stamp) {
                ++outcome.indexed;
                continue;
            }
        }
        switch (indexBook(index, folder, name, update)) {
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
        index.merge(update.stopped);
    return outcome;
}

}
