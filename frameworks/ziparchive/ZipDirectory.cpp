// The end record and its zip64 form, found and checked against each other, then the central
// directory read record by record, every length and offset checked against what holds it.
#include "frameworks/ziparchive/ZipDirectory.h"

#include "platform/foundation/ZipRecords.h"
#include "platform/text/UTF8.h"

#include <cstring>
#include <iconv.h>

namespace ziparchive {

namespace zip = foundation::zip;
using foundation::Error;
using foundation::Result;

namespace {

// A book's directory is some kilobytes; one claiming more than 64 MiB is not read into memory.
constexpr std::uint64_t maximumDirectorySize = 64 << 20;
// What the end record's fields and an entry's own fields say when the zip64 record holds the value.
constexpr std::uint64_t countInZip64 = 0xffff;
constexpr std::uint64_t valueInZip64 = 0xffffffff;

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

Error damaged(const std::string& why)
{
    return Error("damaged zip archive: " + why);
}

std::string entryText(std::size_t index)
{
    return "entry " + std::to_string(index + 1);
}

// Where the directory lies and how many entries it holds, as the end records say.
struct DirectoryPlace {
    std::uint64_t count = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
    std::uint64_t end = 0; // where the end records begin: the directory ends there
};

// The offset in tail of the one end record whose comment reaches the end of the file. Another
// end record that does, whichever a reader would take, makes the archive two archives.
Result<std::size_t> findEndRecord(std::string_view tail)
{
    if (tail.size() < zip::endSize)
        return Error("not a zip archive");
    constexpr std::string_view signature("PK\5\6", 4);
    constexpr std::size_t none = std::size_t(-1);
    std::size_t found = none;
    bool anySignature = false;
    // memchr finds the signature's first byte many times faster than a comparison at every byte,
    // and every book's last 64 KiB are searched.
    const char* start = tail.data();
    const char* last = tail.data() + tail.size() - zip::endSize;
    for (const char* at = start; at <= last;) {
        at = static_cast<const char*>(std::memchr(at, 'P', std::size_t(last - at) + 1));
        if (!at)
            break;
        if (std::memcmp(at, signature.data(), signature.size()) == 0) {
            anySignature = true;
            const std::size_t offset = std::size_t(at - start);
            if (offset + zip::endSize + zip::read16(at + 20) == tail.size()) {
                if (found != none)
                    return damaged("it has two end records");
                found = offset;
            }
        }
        ++at;
    }
    if (found != none)
        return found;
    return anySignature ? damaged("its end record does not end the file")
                        : Error("not a zip archive");
}

Result<DirectoryPlace> readEndRecords(
    std::string_view tail, std::uint64_t size, const ArchiveRead& read)
{
    const std::size_t at = TRY(findEndRecord(tail));
    const char* end = tail.data() + at;
    const std::uint64_t endOffset = size - tail.size() + at;
    if (zip::read16(end + 4) != 0 || zip::read16(end + 6) != 0
        || zip::read16(end + 8) != zip::read16(end + 10))
        return damaged("it is split over several disks");
    const DirectoryPlace place { zip::read16(end + 10), zip::read32(end + 12),
        zip::read32(end + 16), endOffset };

    char locator[zip::zip64LocatorSize];
    const bool zip64 = endOffset >= sizeof locator
        && read(locator, sizeof locator, endOffset - sizeof locator)
        && zip::read32(locator) == zip::zip64LocatorSignature;
    if (!zip64) {
        if (place.count == countInZip64 || place.size == valueInZip64
            || place.offset == valueInZip64)
            return damaged("its zip64 end record is missing");
        return place;
    }
    // The zip64 end record where its locator says, ending just where the locator starts.
    if (zip::read32(locator + 4) != 0 || zip::read32(locator + 16) > 1)
        return damaged("it is split over several disks");
    const std::uint64_t locatorOffset = endOffset - sizeof locator;
    const std::uint64_t recordOffset = zip::read64(locator + 8);
    char record[zip::zip64EndSize];
    if (recordOffset > locatorOffset || locatorOffset - recordOffset < sizeof record
        || !read(record, sizeof record, recordOffset)
        || zip::read32(record) != zip::zip64EndSignature
        || zip::read64(record + 4) != locatorOffset - recordOffset - 12)
        return damaged("its zip64 end record is not where its locator says");
    if (zip::read32(record + 16) != 0 || zip::read32(record + 20) != 0
        || zip::read64(record + 24) != zip::read64(record + 32))
        return damaged("it is split over several disks");
    const DirectoryPlace wide { zip::read64(record + 32), zip::read64(record + 40),
        zip::read64(record + 48), recordOffset };
    // A value the end record holds itself is one a reader may take without the zip64 record.
    if ((place.count != countInZip64 && place.count != wide.count)
        || (place.size != valueInZip64 && place.size != wide.size)
        || (place.offset != valueInZip64 && place.offset != wide.offset))
        return damaged("its end record and its zip64 end record disagree");
    return wide;
}

// The extra fields of an entry's record: the zip64 field holds, in this order, each of the sizes
// and the offset whose own field says 0xffffffff.
Result<void> readExtraFields(std::string_view extra, ZipEntry& entry, std::size_t index)
{
    std::uint64_t* const values[] = { &entry.size, &entry.compressedSize, &entry.headerOffset };
    bool inZip64[3];
    bool anyInZip64 = false;
    for (std::size_t k = 0; k < 3; ++k)
        anyInZip64 |= inZip64[k] = *values[k] == valueInZip64;
    bool seenZip64 = false;
    while (extra.size() >= 4) {
        const std::size_t length = zip::read16(extra.data() + 2);
        if (length > extra.size() - 4)
            return damaged(entryText(index) + " has an extra field running past its record");
        if (zip::read16(extra.data()) == zip::zip64ExtraId) {
            if (seenZip64)
                return damaged(entryText(index) + " has two zip64 fields");
            seenZip64 = true;
            std::string_view field = extra.substr(4, length);
            for (std::size_t k = 0; k < 3; ++k) {
                if (!inZip64[k])
                    continue;
                if (field.size() < 8)
                    return damaged(entryText(index) + " has a short zip64 field");
                *values[k] = zip::read64(field.data());
                field.remove_prefix(8);
            }
        }
        extra.remove_prefix(4 + length);
    }
    if (anyInZip64 && !seenZip64)
        return damaged(entryText(index) + " has no zip64 field for its sizes");
    return {};
}

}

Result<ZipDirectory> readZipDirectory(
    std::string_view tail, std::uint64_t size, const ArchiveRead& read)
{
    const DirectoryPlace place = TRY(readEndRecords(tail, size, read));
    if (place.offset > place.end || place.size != place.end - place.offset)
        return damaged("its directory does not lie just before its end record");
    if (place.size > maximumDirectorySize)
        return damaged("its directory is larger than 64 MiB");
    const std::string counted = "its end record counts (" + std::to_string(place.count) + ")";
    if (place.count > place.size / zip::directoryHeaderSize)
        return damaged("its directory holds fewer entries than " + counted);
    std::string directory(std::size_t(place.size), '\0');
    if (!read(directory.data(), directory.size(), place.offset))
        return damaged("its directory cannot be read");

    ZipDirectory result;
    result.offset = place.offset;
    result.entries.reserve(std::size_t(place.count));
    CodePage437 codePage437;
    std::size_t at = 0;
    for (std::size_t index = 0; index < place.count; ++index) {
        if (directory.size() - at < zip::directoryHeaderSize)
            return damaged("its directory holds fewer entries than " + counted);
        if (zip::read32(directory.data() + at) != zip::directoryHeaderSignature)
            return damaged(entryText(index) + " has no directory record");
        const char* header = directory.data() + at;
        ZipEntry entry;
        entry.system = std::uint8_t(header[5]);
        entry.flags = zip::read16(header + 8);
        entry.method = zip::read16(header + 10);
        entry.crc = zip::read32(header + 16);
        entry.compressedSize = zip::read32(header + 20);
        entry.size = zip::read32(header + 24);
        const std::size_t nameLength = zip::read16(header + 28);
        const std::size_t extraLength = zip::read16(header + 30);
        const std::size_t commentLength = zip::read16(header + 32);
        entry.externalAttributes = zip::read32(header + 38);
        entry.headerOffset = zip::read32(header + 42);
        const std::size_t length
            = zip::directoryHeaderSize + nameLength + extraLength + commentLength;
        if (directory.size() - at < length)
            return damaged(entryText(index) + " runs past its directory");
        std::string_view name(header + zip::directoryHeaderSize, nameLength);
        entry.name = (entry.flags & zip::utf8NameFlag) || text::isUTF8(name)
            ? std::string(name)
            : codePage437.toUtf8(name);
        TRY(readExtraFields(
            std::string_view(header + zip::directoryHeaderSize + nameLength, extraLength), entry,
            index));
        if (entry.headerOffset > place.offset
            || place.offset - entry.headerOffset < zip::localHeaderSize)
            return damaged(entryText(index) + " starts past its directory's start");
        result.entries.push_back(std::move(entry));
        at += length;
    }
    if (at != directory.size())
        return damaged("its directory holds more entries than " + counted);
    return result;
}

}
