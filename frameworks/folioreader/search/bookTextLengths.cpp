// Counting a page's text with the reading that find in the book uses, so lengths and places agree.
#include "frameworks/folioreader/search/bookTextLengths.h"

#include "frameworks/folioreader/search/readBodyPiece.h"
#include "platform/foundation/FileDescriptor.h"

#include <algorithm>
#include <numeric>

namespace folioreader {

namespace {

// Counts and keeps nothing: the place read to tells the length.
struct CountingSink {
    static constexpr bool wantsBlocks = false;
    static constexpr bool wantsTextRuns = false;
    void ascii(std::string_view, const BodyPlace&, bool) { }
    void character(char32_t, const BodyPlace&, bool) { }
    void separate(std::uint32_t) { }
};

}

std::uint64_t bodyTextLength(std::string_view xhtml)
{
    BodyPlace place;
    CountingSink sink;
    while (readBodyPiece(xhtml, place, sink)) { }
    return place.utf16();
}

std::vector<std::uint64_t> bookTextLengths(const ReaderSession& session)
{
    std::vector<std::uint64_t> lengths;
    std::string bytes;
    for (const auto& document : session.spine()) {
        auto file = session.openContent(document.entryName);
        std::uint64_t length = 0;
        if (file) {
            bytes.resize(file->size());
            if (foundation::readAllAt(file->descriptor(), bytes.data(), bytes.size(), 0))
                length = bodyTextLength(bytes);
        }
        lengths.push_back(length);
    }
    return lengths;
}

double bookProgress(
    const std::vector<std::uint64_t>& lengths, std::size_t spine, std::uint64_t offset)
{
    if (lengths.empty())
        return 0;
    spine = std::min(spine, lengths.size() - 1);
    auto total = std::accumulate(lengths.begin(), lengths.end(), std::uint64_t(0));
    if (total == 0)
        return double(spine) / double(lengths.size());
    auto before = std::accumulate(
        lengths.begin(), lengths.begin() + std::ptrdiff_t(spine), std::uint64_t(0));
    return std::clamp(double(before + std::min(offset, lengths[spine])) / double(total), 0.0, 1.0);
}

}
