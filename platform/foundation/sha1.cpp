// SHA-1 over a whole text: 64-byte blocks, the last padded with a 1 bit, zeros and the length in
// bits.
#include "platform/foundation/sha1.h"

#include <bit>

namespace foundation {

namespace {

void compress(std::array<std::uint32_t, 5>& state, const std::uint8_t* block)
{
    std::uint32_t words[80];
    for (int i = 0; i < 16; ++i)
        words[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 | std::uint32_t(block[4 * i + 2]) << 8 | block[4 * i + 3];
    for (int i = 16; i < 80; ++i)
        words[i] = std::rotl(words[i - 3] ^ words[i - 8] ^ words[i - 14] ^ words[i - 16], 1);
    auto [a, b, c, d, e] = state;
    for (int i = 0; i < 80; ++i) {
        std::uint32_t mixed, constant;
        if (i < 20) {
            mixed = (b & c) | (~b & d);
            constant = 0x5A827999;
        } else if (i < 40) {
            mixed = b ^ c ^ d;
            constant = 0x6ED9EBA1;
        } else if (i < 60) {
            mixed = (b & c) | (b & d) | (c & d);
            constant = 0x8F1BBCDC;
        } else {
            mixed = b ^ c ^ d;
            constant = 0xCA62C1D6;
        }
        std::uint32_t next = std::rotl(a, 5) + mixed + e + constant + words[i];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

}

std::array<std::uint8_t, 20> sha1(std::string_view bytes)
{
    std::array<std::uint32_t, 5> state { 0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0 };
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t whole = bytes.size() / 64 * 64;
    for (std::size_t at = 0; at < whole; at += 64)
        compress(state, data + at);

    // The rest, the 1 bit, zeros and the length fill one block or two.
    std::uint8_t tail[128] {};
    std::size_t rest = bytes.size() - whole;
    for (std::size_t i = 0; i < rest; ++i)
        tail[i] = data[whole + i];
    tail[rest] = 0x80;
    std::size_t tailLength = rest < 56 ? 64 : 128;
    std::uint64_t bits = std::uint64_t(bytes.size()) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailLength - 1 - i] = std::uint8_t(bits >> (8 * i));
    for (std::size_t at = 0; at < tailLength; at += 64)
        compress(state, tail + at);

    std::array<std::uint8_t, 20> digest {};
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j)
            digest[4 * i + j] = std::uint8_t(state[i] >> (24 - 8 * j));
    }
    return digest;
}

}
