// The zip format's records as they lie in the file: their signatures, fixed sizes and flags, and
// the little-endian numbers they are made of, read and written. Shared by the reader of books,
// the writer of folder books and the tests' writer of hostile archives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace foundation::zip {

constexpr std::uint32_t localHeaderSignature = 0x04034b50;
constexpr std::uint32_t directoryHeaderSignature = 0x02014b50;
constexpr std::uint32_t dataDescriptorSignature = 0x08074b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t endSignature = 0x06054b50;

constexpr std::size_t localHeaderSize = 30;
constexpr std::size_t directoryHeaderSize = 46;
constexpr std::size_t zip64EndSize = 56;
constexpr std::size_t zip64LocatorSize = 20;
constexpr std::size_t endSize = 22;
// The end record's comment, and any name, extra field or comment of an entry.
constexpr std::size_t longestField = 0xffff;

constexpr std::uint16_t encryptedFlag = 0x0001;
constexpr std::uint16_t dataDescriptorFlag = 0x0008;
constexpr std::uint16_t utf8NameFlag = 0x0800;
constexpr std::uint16_t storedMethod = 0;
constexpr std::uint16_t deflatedMethod = 8;
// The extra field that holds, in this order, each of an entry's sizes and its header's offset
// whose own field says 0xffffffff.
constexpr std::uint16_t zip64ExtraId = 0x0001;
// The systems, in the high byte of "version made by", whose external attributes hold a Unix mode.
constexpr std::uint8_t unixSystem = 3;
constexpr std::uint8_t macSystem = 19;

inline std::uint16_t read16(const char* at)
{
    auto bytes = reinterpret_cast<const unsigned char*>(at);
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

inline std::uint32_t read32(const char* at)
{
    return std::uint32_t(read16(at)) | std::uint32_t(read16(at + 2)) << 16;
}

inline std::uint64_t read64(const char* at)
{
    return std::uint64_t(read32(at)) | std::uint64_t(read32(at + 4)) << 32;
}

inline void append16(std::string& out, std::uint32_t value)
{
    out += char(value & 0xff);
    out += char(value >> 8 & 0xff);
}

inline void append32(std::string& out, std::uint32_t value)
{
    append16(out, value & 0xffff);
    append16(out, value >> 16);
}

inline void append64(std::string& out, std::uint64_t value)
{
    append32(out, std::uint32_t(value));
    append32(out, std::uint32_t(value >> 32));
}

// Overwrites size bytes (2, 4 or 8) at offset at with value.
inline void write(std::string& bytes, std::size_t at, std::uint64_t value, std::size_t size)
{
    for (std::size_t k = 0; k < size; ++k)
        bytes[at + k] = char(value >> (8 * k) & 0xff);
}

}
