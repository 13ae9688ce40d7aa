// ZipReader: an archive's tail read once, its directory read from it (ZipDirectory), and each
// entry's local header and raw deflate, every length and offset checked before it is used.
#include "frameworks/ziparchive/ZipReader.h"

#include "platform/foundation/ZipRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <zlib.h>

namespace ziparchive {

namespace zip = foundation::zip;

namespace {

// Read a piece at a time: an entry's data, and what an unpacking hands on at once.
constexpr std::size_t pieceSize = 64 << 10;

std::string readFailureText()
{
    return errno ? std::strerror(errno) : "damaged entry";
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

foundation::Result<ZipReader> ZipReader::open(
    foundation::FileDescriptor descriptor, std::uint64_t size)
{
    ZipReader zip;
    zip.m_descriptor = std::move(descriptor);
    zip.m_size = size;
    if (size < zip::endSize)
        return foundation::Error("not a zip archive");
    zip.m_tailStart = size - std::min<std::uint64_t>(size, endSearchSize);
    zip.m_tail.resize(std::size_t(size - zip.m_tailStart));
    errno = 0;
    if (!foundation::readAllAt(
            zip.m_descriptor.get(), zip.m_tail.data(), zip.m_tail.size(), zip.m_tailStart))
        return foundation::Error(errno ? std::string("cannot be read: ") + std::strerror(errno)
                                       : std::string("damaged zip archive"));
    auto directory = readZipDirectory(
        zip.m_tail, size, [&zip](char* into, std::size_t length, std::uint64_t offset) {
            return zip.readAt(into, length, offset);
        });
    if (!directory)
        return directory.error();
    zip.m_directoryOffset = directory->offset;
    zip.m_entries = std::move(directory->entries);
    zip.m_byName.reserve(zip.m_entries.size());
    for (std::size_t index = 0; index < zip.m_entries.size(); ++index)
        zip.m_byName.emplace(zip.m_entries[index].name, index);
    return zip;
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

const char* ZipReader::dataAt(std::uint64_t offset, std::size_t length, std::string& buffer) const
{
    if (offset >= m_tailStart && offset <= m_size && length <= m_size - offset)
        return m_tail.data() + (offset - m_tailStart);
    buffer.resize(length);
    return readAt(buffer.data(), length, offset) ? buffer.data() : nullptr;
}

const ZipReader::Entry* ZipReader::find(std::string_view name) const
{
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : &m_entries[found->second];
}

std::optional<ZipReader::Extent> ZipReader::extent(const Entry& entry) const
{
    char header[zip::localHeaderSize];
    if (!readAt(header, sizeof header, entry.headerOffset)
        || zip::read32(header) != zip::localHeaderSignature)
        return std::nullopt;
    // The directory keeps each header before its own start, so this cannot overflow.
    const std::uint64_t data = entry.headerOffset + zip::localHeaderSize + zip::read16(header + 26)
        + zip::read16(header + 28);
    if (data > m_directoryOffset || entry.compressedSize > m_directoryOffset - data)
        return std::nullopt;
    return Extent { entry.headerOffset, data, data + entry.compressedSize };
}

std::optional<ZipReader::Extent> ZipReader::checkedExtent(
    const Entry& entry, ReadFailure& failure) const
{
    if (entry.flags & zip::encryptedFlag) {
        failure.text = "encrypted entry";
        return std::nullopt;
    }
    if (entry.method != zip::storedMethod && entry.method != zip::deflatedMethod) {
        failure.text = "compression method not supported";
        return std::nullopt;
    }
    auto place = extent(entry);
    if (!place)
        failure.text = "damaged entry";
    return place;
}

std::optional<std::string> ZipReader::read(
    const Entry& entry, std::size_t limit, ReadFailure& failure) const
{
    failure = {};
    auto place = checkedExtent(entry, failure);
    if (!place)
        return std::nullopt;
    if (entry.size > limit) {
        failure.tooLarge = true;
        return std::nullopt;
    }
    const std::uint64_t data = place->dataStart;

    std::string bytes;
    if (entry.method == zip::storedMethod) {
        if (entry.compressedSize != entry.size) {
            failure.text = "damaged entry";
            return std::nullopt;
        }
        bytes.resize(std::size_t(entry.size));
        errno = 0;
        if (!readAt(bytes.data(), bytes.size(), data)) {
            failure.text = readFailureText();
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
                errno = 0;
                const std::uint64_t offset = data + consumed;
                const std::size_t piece = std::size_t(
                    std::min<std::uint64_t>(entry.compressedSize - consumed, pieceSize));
                const char* from = dataAt(offset, piece, input);
                if (!from) {
                    status = Z_ERRNO;
                    break;
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
            failure.text = status == Z_ERRNO ? readFailureText() : "damaged entry";
            return std::nullopt;
        }
        bytes.resize(filled);
    }
    if (bytes.size() != entry.size) {
        failure.text = "damaged entry";
        return std::nullopt;
    }
    if (std::uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()))
        != entry.crc) {
        failure.text = "CRC error";
        return std::nullopt;
    }
    return bytes;
}

bool ZipReader::unpack(const Entry& entry,
    const std::function<bool(const char*, std::size_t)>& write, ReadFailure& failure) const
{
    failure = {};
    auto place = checkedExtent(entry, failure);
    if (!place)
        return false;
    const std::string declared = " the " + std::to_string(entry.size) + " bytes it declares";
    std::uint64_t written = 0;
    uLong crc = crc32_z(0, nullptr, 0);
    // Each piece counted against the declared size before it is written: an entry that holds
    // more is caught at its first byte too many, not after filling the disk.
    auto give = [&](const char* bytes, std::size_t length) {
        if (length > entry.size - written) {
            failure.text = "holds more than" + declared;
            return false;
        }
        crc = crc32_z(crc, reinterpret_cast<const Bytef*>(bytes), length);
        written += length;
        failure.stopped = !write(bytes, length);
        return !failure.stopped;
    };
    std::string input;
    std::uint64_t consumed = 0;
    // The next piece of the entry's data, or nothing with the failure said.
    auto nextPiece = [&](std::size_t& length) -> const char* {
        length = std::size_t(std::min<std::uint64_t>(entry.compressedSize - consumed, pieceSize));
        errno = 0;
        const char* piece = dataAt(place->dataStart + consumed, length, input);
        if (!piece)
            failure.text = readFailureText();
        consumed += length;
        return piece;
    };

    if (entry.method == zip::storedMethod) {
        while (consumed < entry.compressedSize) {
            std::size_t length = 0;
            const char* piece = nextPiece(length);
            if (!piece || !give(piece, length))
                return false;
        }
    } else {
        z_stream* started = inflater.start();
        if (!started) {
            failure.text = "cannot inflate";
            return false;
        }
        z_stream& stream = *started;
        std::string output(pieceSize, '\0');
        int status = Z_OK;
        while (status == Z_OK) {
            if (stream.avail_in == 0 && consumed < entry.compressedSize) {
                std::size_t length = 0;
                const char* piece = nextPiece(length);
                if (!piece)
                    return false;
                stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece));
                stream.avail_in = uInt(length);
            }
            stream.next_out = reinterpret_cast<Bytef*>(output.data());
            stream.avail_out = uInt(output.size());
            status = inflate(&stream, Z_NO_FLUSH);
            const std::size_t produced = output.size() - stream.avail_out;
            if (produced > 0 && !give(output.data(), produced))
                return false;
            // No progress: more data is read next time round, unless it all has been.
            if (status == Z_BUF_ERROR && (stream.avail_in > 0 || consumed < entry.compressedSize))
                status = Z_OK;
        }
        if (status != Z_STREAM_END) {
            failure.text = "damaged entry";
            return false;
        }
    }
    if (written != entry.size) {
        failure.text = "holds fewer than" + declared;
        return false;
    }
    if (std::uint32_t(crc) != entry.crc) {
        failure.text = "CRC error";
        return false;
    }
    return true;
}

}
