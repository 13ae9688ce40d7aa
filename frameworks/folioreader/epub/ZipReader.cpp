// ZipReader: the end record (and its zip64 form), the central directory, local headers and raw
// deflate, every length and offset checked against the archive's size before it is used.
#include "frameworks/folioreader/epub/ZipReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <zlib.h>

namespace folioreader {

namespace {

constexpr std::uint32_t endSignature = 0x06054b50;
constexpr std::uint32_t zip64LocatorSignature = 0x07064b50;
constexpr std::uint32_t zip64EndSignature = 0x06064b50;
constexpr std::uint32_t directorySignature = 0x02014b50;
constexpr std::uint32_t localSignature = 0x04034b50;
constexpr std::size_t endSize = 22;
constexpr std::size_t directoryEntrySize = 46;
constexpr std::size_t localHeaderSize = 30;
constexpr std::uint64_t maximumDirectorySize = 64 << 20;
// The end record with a comment of at most 65,535 bytes after it, and whatever of the directory
// before it fits: a small book whole.
constexpr std::size_t tailSize = endSize + 0xffff;

std::uint16_t u16(const char* at)
{
    auto bytes = reinterpret_cast<const unsigned char*>(at);
    return std::uint16_t(bytes[0] | bytes[1] << 8);
}

std::uint32_t u32(const char* at)
{
    return std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16;
}

std::uint64_t u64(const char* at)
{
    return std::uint64_t(u32(at)) | std::uint64_t(u32(at + 4)) << 32;
}

bool isUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xe ? 3 : (lead >> 3) == 0x1e ? 4 : 0;
        if (length == 0 || at + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[at + k]) & 0xc0) != 0x80)
                return false;
        }
        at += length;
    }
    return true;
}

// Names written by a tool that knew no UTF-8, read as the code page zip archives meant then; the
// converter is opened at the first such name of an archive.
class CodePage437 {
public:
    ~CodePage437()
    {
        if (m_convert != iconv_t(-1))
            ::iconv_close(m_convert);
    }

    std::string toUtf8(std::string_view name)
    {
        if (m_convert == iconv_t(-1))
            m_convert = ::iconv_open("UTF-8", "CP437");
        if (m_convert == iconv_t(-1))
            return std::string(name);
        ::iconv(m_convert, nullptr, nullptr, nullptr, nullptr);
        std::string out(name.size() * 3, '\0');
        char* in = const_cast<char*>(name.data());
        std::size_t inLeft = name.size();
        char* to = out.data();
        std::size_t outLeft = out.size();
        if (::iconv(m_convert, &in, &inLeft, &to, &outLeft) == std::size_t(-1))
            return std::string(name);
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t m_convert = iconv_t(-1);
};

foundation::Error damaged()
{
    return foundation::Error("damaged zip archive");
}

// One raw inflate stream a thread, reset for each entry rather than made anew: a scan inflates two
// small entries a book.
struct Inflater {
    z_stream stream {};
    bool ready = false;

    ~Inflater()
    {
        if (ready)
            inflateEnd(&stream);
    }

    z_stream* start()
    {
        if (!ready)
            ready = inflateInit2(&stream, -MAX_WBITS) == Z_OK;
        else if (inflateReset(&stream) != Z_OK)
            return nullptr;
        // A reset keeps what the last entry left unread.
        stream.next_in = nullptr;
        stream.avail_in = 0;
        return ready ? &stream : nullptr;
    }
};
thread_local Inflater inflater;

}

foundation::Result<ZipReader> ZipReader::open(foundation::FileDescriptor descriptor, std::uint64_t size)
{
    ZipReader zip;
    zip.m_descriptor = std::move(descriptor);
    zip.m_size = size;
    if (size < endSize)
        return foundation::Error("not a zip archive");
    zip.m_tailStart = size - std::min<std::uint64_t>(size, tailSize);
    zip.m_tail.resize(std::size_t(size - zip.m_tailStart));
    if (!foundation::readAllAt(zip.m_descriptor.get(), zip.m_tail.data(), zip.m_tail.size(), zip.m_tailStart))
        return foundation::Error(errno ? std::string("cannot be read: ") + std::strerror(errno) : std::string("damaged zip archive"));
    // The last end record whose directory holds together: a comment may hold the signature too.
    bool found = false;
    for (std::size_t at = zip.m_tail.size() - endSize + 1; at-- > 0;) {
        if (u32(zip.m_tail.data() + at) != endSignature)
            continue;
        found = true;
        if (zip.parseDirectory(zip.m_tailStart + at))
            return zip;
    }
    if (!found)
        return foundation::Error("not a zip archive");
    return damaged();
}

bool ZipReader::readAt(char* into, std::size_t length, std::uint64_t offset) const
{
    if (offset > m_size || length > m_size - offset)
        return false;
    if (offset >= m_tailStart) {
        std::memcpy(into, m_tail.data() + (offset - m_tailStart), length);
        return true;
    }
    return foundation::readAllAt(m_descriptor.get(), into, length, offset);
}

bool ZipReader::parseDirectory(std::uint64_t endRecord)
{
    char end[endSize];
    if (!readAt(end, endSize, endRecord))
        return false;
    std::uint64_t count = u16(end + 10);
    std::uint64_t directorySize = u32(end + 12);
    std::uint64_t directoryOffset = u32(end + 16);
    // An archive split over several disks is no book.
    if (u16(end + 4) != 0 || u16(end + 6) != 0 || u16(end + 8) != count)
        return false;
    if (count == 0xffff || directorySize == 0xffffffff || directoryOffset == 0xffffffff) {
        char locator[20];
        char record[56];
        if (endRecord < sizeof locator || !readAt(locator, sizeof locator, endRecord - sizeof locator)
            || u32(locator) != zip64LocatorSignature)
            return false;
        std::uint64_t recordOffset = u64(locator + 8);
        if (recordOffset > endRecord || !readAt(record, sizeof record, recordOffset) || u32(record) != zip64EndSignature)
            return false;
        count = u64(record + 32);
        directorySize = u64(record + 40);
        directoryOffset = u64(record + 48);
        endRecord = recordOffset;
    }
    // A book's directory is some kilobytes; one claiming more than 64 MiB is not read into memory.
    if (directoryOffset > endRecord || directorySize > endRecord - directoryOffset || directorySize > maximumDirectorySize
        || count > directorySize / directoryEntrySize + 1)
        return false;
    std::string directory(std::size_t(directorySize), '\0');
    if (!readAt(directory.data(), directory.size(), directoryOffset))
        return false;

    std::vector<Entry> entries;
    entries.reserve(std::size_t(count));
    CodePage437 codePage437;
    std::size_t at = 0;
    for (std::uint64_t n = 0; n < count; ++n) {
        if (directory.size() - at < directoryEntrySize || u32(directory.data() + at) != directorySignature)
            return false;
        const char* header = directory.data() + at;
        Entry entry;
        entry.flags = u16(header + 8);
        entry.method = u16(header + 10);
        entry.crc = u32(header + 16);
        entry.compressedSize = u32(header + 20);
        entry.size = u32(header + 24);
        const std::size_t nameLength = u16(header + 28);
        const std::size_t extraLength = u16(header + 30);
        const std::size_t commentLength = u16(header + 32);
        entry.headerOffset = u32(header + 42);
        const std::size_t length = directoryEntrySize + nameLength + extraLength + commentLength;
        if (directory.size() - at < length)
            return false;
        std::string_view name(header + directoryEntrySize, nameLength);
        entry.name = (entry.flags & 0x800) || isUtf8(name) ? std::string(name) : codePage437.toUtf8(name);
        // The zip64 field holds, in this order, each of the sizes and the offset that did not fit.
        std::string_view extra(header + directoryEntrySize + nameLength, extraLength);
        while (extra.size() >= 4) {
            const std::size_t fieldLength = u16(extra.data() + 2);
            if (fieldLength > extra.size() - 4)
                break;
            if (u16(extra.data()) == 0x0001) {
                std::string_view field = extra.substr(4, fieldLength);
                for (std::uint64_t* value : { &entry.size, &entry.compressedSize, &entry.headerOffset }) {
                    if (*value != 0xffffffff)
                        continue;
                    if (field.size() < 8)
                        return false;
                    *value = u64(field.data());
                    field.remove_prefix(8);
                }
            }
            extra.remove_prefix(4 + fieldLength);
        }
        if (entry.headerOffset > directoryOffset)
            return false;
        entries.push_back(std::move(entry));
        at += length;
    }
    m_entries = std::move(entries);
    m_byName.clear();
    m_byName.reserve(m_entries.size());
    for (std::size_t index = 0; index < m_entries.size(); ++index)
        m_byName.emplace(m_entries[index].name, index);
    return true;
}

const ZipReader::Entry* ZipReader::find(std::string_view name) const
{
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : &m_entries[found->second];
}

std::optional<std::string> ZipReader::read(const Entry& entry, std::size_t limit, ReadFailure& failure) const
{
    failure = {};
    if (entry.flags & 0x1) {
        failure.text = "encrypted entry";
        return std::nullopt;
    }
    if (entry.method != 0 && entry.method != 8) {
        failure.text = "compression method not supported";
        return std::nullopt;
    }
    if (entry.size > limit) {
        failure.tooLarge = true;
        return std::nullopt;
    }
    char header[localHeaderSize];
    if (!readAt(header, localHeaderSize, entry.headerOffset) || u32(header) != localSignature) {
        failure.text = "damaged entry";
        return std::nullopt;
    }
    const std::uint64_t data = entry.headerOffset + localHeaderSize + u16(header + 26) + u16(header + 28);
    if (data > m_size || entry.compressedSize > m_size - data) {
        failure.text = "damaged entry";
        return std::nullopt;
    }

    std::string bytes;
    if (entry.method == 0) {
        if (entry.compressedSize != entry.size) {
            failure.text = "damaged entry";
            return std::nullopt;
        }
        bytes.resize(std::size_t(entry.size));
        if (!readAt(bytes.data(), bytes.size(), data)) {
            failure.text = errno ? std::strerror(errno) : "damaged entry";
            return std::nullopt;
        }
    } else {
        // Inflated a piece at a time into at most limit + 1 bytes: data that inflates past its
        // declared size meets the bound, and is never cut off silently.
        z_stream* started = inflater.start();
        if (!started) {
            failure.text = "cannot inflate";
            return std::nullopt;
        }
        z_stream& stream = *started;
        bytes.resize(std::min<std::size_t>(std::size_t(entry.size), limit) + 1);
        std::string input;
        std::uint64_t consumed = 0;
        std::size_t filled = 0;
        int status = Z_OK;
        while (status == Z_OK) {
            if (stream.avail_in == 0 && consumed < entry.compressedSize) {
                const std::uint64_t offset = data + consumed;
                const std::size_t piece = std::size_t(std::min<std::uint64_t>(entry.compressedSize - consumed, 64 << 10));
                const char* from;
                if (offset >= m_tailStart) {
                    from = m_tail.data() + (offset - m_tailStart);
                } else {
                    input.resize(piece);
                    if (!readAt(input.data(), piece, offset)) {
                        status = Z_ERRNO;
                        break;
                    }
                    from = input.data();
                }
                stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(from));
                stream.avail_in = uInt(piece);
                consumed += piece;
            }
            if (filled == bytes.size()) {
                if (filled > limit)
                    break;
                bytes.resize(std::min(bytes.size() * 2, limit + 1));
            }
            stream.next_out = reinterpret_cast<Bytef*>(bytes.data() + filled);
            stream.avail_out = uInt(std::min<std::size_t>(bytes.size() - filled, 1u << 30));
            const uInt before = stream.avail_out;
            // All the data given: the stream inflates straight into the bytes, with no window.
            status = inflate(&stream, consumed == entry.compressedSize ? Z_FINISH : Z_NO_FLUSH);
            filled += before - stream.avail_out;
            // Out of room, the loop makes more; with room left, the data ended before its stream.
            if (status == Z_BUF_ERROR)
                status = stream.avail_out == 0 ? Z_OK : Z_DATA_ERROR;
        }
        if (filled > limit) {
            failure.tooLarge = true;
            return std::nullopt;
        }
        if (status != Z_STREAM_END) {
            failure.text = status == Z_ERRNO && errno ? std::strerror(errno) : "damaged entry";
            return std::nullopt;
        }
        bytes.resize(filled);
    }
    if (bytes.size() != entry.size) {
        failure.text = "damaged entry";
        return std::nullopt;
    }
    if (std::uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size())) != entry.crc) {
        failure.text = "CRC error";
        return std::nullopt;
    }
    return bytes;
}

}
