// A 64-bit digest (FNV-1a) that is the same in every build and run: stable names for paths,
// picture ids, the check of a cached row. Not for secrets: anyone can make two texts share one.
#pragma once

#include <cstdint>
#include <string_view>

namespace foundation {

class Digest {
public:
    Digest& add(std::string_view bytes)
    {
        for (unsigned char byte : bytes)
            mix(byte);
        return *this;
    }

    // A text's length before it, so that no two lists of texts run together alike.
    Digest& addLengthOf(std::string_view bytes)
    {
        std::uint64_t size = bytes.size();
        for (int shift = 0; shift < 64; shift += 8)
            mix((size >> shift) & 0xff);
        return *this;
    }

    std::uint64_t value() const { return m_hash; }

private:
    std::uint64_t m_hash = 14695981039346656037ull;

    void mix(std::uint64_t byte)
    {
        m_hash ^= byte;
        m_hash *= 1099511628211ull;
    }
};

}
