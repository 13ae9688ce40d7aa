// Stored descriptions: looked up by the item's name and checked against its files' stamp; the
// missing ones read from the books the store lists, in the order of their names.
#include "frameworks/folioreader/metadata/StoredDescription.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/metadata/MetadataScan.h"

#include <chrono>

namespace folioreader {

namespace {

// Entries looked at by one query, and descriptions written by one transaction: each holds the
// store a millisecond or so, so the rows and pages asking it meanwhile hardly wait.
constexpr std::size_t entriesAtATime = 256;
constexpr std::size_t descriptionsAtATime = 64;

}

std::string storedDescription(const std::shared_ptr<MetadataStore>& store, const std::string& path)
{
    auto slash = path.rfind('/');
    if (!store || slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return {};
    auto stored = store->descriptionOf(path.substr(0, slash), path.substr(slash + 1));
    if (!stored)
        return {};
    auto stamp = currentStamp(path, stored->packageName);
    if (!stamp || encodeStamp(*stamp) != stored->stamp)
        return {};
    return std::move(stored->text);
}

std::size_t keepMissingDescriptions(const std::shared_ptr<MetadataStore>& store,
    const std::string& folder, const std::function<bool()>& stopped)
{
    if (!store)
        return 0;
    std::size_t read = 0;
    std::vector<MetadataStore::Description> kept;
    std::string after;
    bool stopping = false;
    while (!stopping) {
        auto gaps = store->descriptionGaps(folder, after, entriesAtATime);
        for (const std::string& name : gaps.names) {
            stopping = stopped && stopped();
            if (stopping)
                break;
            auto readStart = std::chrono::system_clock::now();
            // A book gone or unreadable now is left to the next scan, which drops or reads its
            // entry.
            auto book = EpubContainer::open(folder + "/" + name);
            if (!book)
                continue;
            std::vector<FileIdentity> stamp;
            auto package = readStampedPackage(*book, stamp, WithDescription::yes);
            ++read;
            if (!package || !isSettled(stamp, readStart, store->unsettledWindow()))
                continue;
            kept.push_back(
                { name, encodeStamp(stamp), stamp.size() > 1 ? package->name : std::string(),
                    std::move(package->description) });
            // A busy store (another Pagewyn writing) leaves the batch unkept: the next pass reads
            // those books again.
            if (kept.size() == descriptionsAtATime) {
                store->storeDescriptions(folder, kept);
                kept.clear();
            }
        }
        if (gaps.last.empty())
            break;
        after = std::move(gaps.last);
    }
    // What was read before a stop is kept too.
    if (!kept.empty())
        store->storeDescriptions(folder, kept);
    return read;
}

}
