// A book's passages as the text index keeps them: runs of neighbouring passages deflated together
// in blocks of about 32 KB of text. Deflated one by one, short passages shrink to 0.6 of their
// size; a block, seeing its neighbours' words, to about 0.45 — the difference between an index
// larger than its books' text and one smaller.
#pragma once

#include "frameworks/folioreader/textindex/BookPassages.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct z_stream_s;

namespace folioreader {

// Text a block gathers before it is closed: deflate sees 32 KB back.
inline constexpr std::size_t passageBlockText = 32 * 1024;

// Deflates blocks one after another with one compressor, whose 256 KB of state would otherwise
// be allocated and cleared for every block.
class PassagePacker {
public:
    PassagePacker();
    ~PassagePacker();
    PassagePacker(const PassagePacker&) = delete;
    PassagePacker& operator=(const PassagePacker&) = delete;

    // passages[from, to) as one block: the place and text of each, deflated; empty on failure.
    std::string pack(const std::vector<Passage>& passages, std::size_t from, std::size_t to);

private:
    z_stream_s* m_stream;
};

// The first count passages of a block again (all of them unless given, fewer when it holds fewer);
// nothing when the bytes are damaged. A search needs a passage or two of a block: inflating stops
// past the last one asked for.
std::optional<std::vector<Passage>> unpackPassages(
    std::string_view packed, std::size_t count = SIZE_MAX);

}
