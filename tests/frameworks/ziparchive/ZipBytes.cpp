// The zip format's little-endian records, written and patched by hand.
#include "tests/frameworks/ziparchive/ZipBytes.h"

#include "platform/foundation/ZipRecords.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <zlib.h>

namespace ziptest {

namespace zip = foundation::zip;

namespace {

std::uint32_t crc32Of(const std::string& bytes)
{
    return std::uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

// The zip64 field of an entry whose sizes (and, in the directory, offset) its own fields leave to
// it.
std::string zip64Field(
    std::uint64_t size, std::uint64_t compressedSize, std::optional<std::uint64_t> offset)
{
    std::string field;
    zip::append16(field, zip::zip64ExtraId);
    zip::append16(field, offset ? 24 : 16);
    zip::append64(field, size);
    zip::append64(field, compressedSize);
    if (offset)
        zip::append64(field, *offset);
    return field;
}

}

std::string storedZip(const std::vector<StoredEntry>& entries, const ZipLayout& layout)
{
    std::string zip;
    std::string directory;
    std::vector<std::uint64_t> offsets;
    const std::uint16_t flags
        = zip::utf8NameFlag | (layout.dataDescriptors ? zip::dataDescriptorFlag : 0);
    const std::uint32_t wide = 0xffffffff;
    for (const StoredEntry& entry : entries) {
        const StoredEntry& data = entry.sharesDataOf ? entries.at(*entry.sharesDataOf) : entry;
        std::uint64_t offset
            = entry.sharesDataOf ? offsets.at(*entry.sharesDataOf) : layout.startsAt + zip.size();
        offsets.push_back(offset);
        std::uint32_t crc = crc32Of(data.bytes);
        std::uint32_t size = std::uint32_t(data.bytes.size());
        std::uint32_t declared = data.declaredSize.value_or(size);
        const std::string localExtra = layout.zip64 ? zip64Field(declared, size, std::nullopt) : "";
        const std::string extra = layout.zip64 ? zip64Field(declared, size, offset) : "";

        if (!entry.sharesDataOf) {
            zip::append32(zip, zip::localHeaderSignature);
            zip::append16(zip, layout.zip64 ? 45 : 20); // version needed
            zip::append16(zip, flags);
            zip::append16(zip, zip::storedMethod);
            zip::append32(zip, 0); // time and date
            // With a data descriptor, what follows the data says what the header leaves as 0.
            zip::append32(zip, layout.dataDescriptors ? 0 : crc);
            zip::append32(zip, layout.dataDescriptors ? 0 : layout.zip64 ? wide : size);
            zip::append32(zip, layout.dataDescriptors ? 0 : layout.zip64 ? wide : declared);
            zip::append16(zip, std::uint32_t(entry.name.size()));
            zip::append16(zip, std::uint32_t(localExtra.size()));
            zip += entry.name;
            zip += localExtra;
            zip += entry.bytes;
            if (layout.dataDescriptors) {
                zip::append32(zip, zip::dataDescriptorSignature);
                zip::append32(zip, crc);
                zip::append32(zip, size);
                zip::append32(zip, declared);
            }
        }

        zip::append32(directory, zip::directoryHeaderSignature);
        zip::append16(directory, entry.unixMode ? (3u << 8 | 20) : 20);
        zip::append16(directory, layout.zip64 ? 45 : 20);
        zip::append16(directory, flags);
        zip::append16(directory, zip::storedMethod);
        zip::append32(directory, 0);
        zip::append32(directory, crc);
        zip::append32(directory, layout.zip64 ? wide : size);
        zip::append32(directory, layout.zip64 ? wide : declared);
        zip::append16(directory, std::uint32_t(entry.name.size()));
        zip::append16(directory, std::uint32_t(extra.size()));
        zip::append16(directory, 0); // comment
        zip::append16(directory, 0); // disk
        zip::append16(directory, 0); // internal attributes
        zip::append32(directory, entry.unixMode ? *entry.unixMode << 16 : 0);
        zip::append32(directory, layout.zip64 ? wide : std::uint32_t(offset));
        directory += entry.name;
        directory += extra;
    }
    const std::uint64_t directoryOffset = layout.startsAt + zip.size();
    zip += directory;
    if (layout.zip64) {
        const std::uint64_t recordOffset = layout.startsAt + zip.size();
        zip::append32(zip, zip::zip64EndSignature);
        zip::append64(zip, zip::zip64EndSize - 12);
        zip::append16(zip, 45);
        zip::append16(zip, 45);
        zip::append32(zip, 0);
        zip::append32(zip, 0);
        zip::append64(zip, entries.size());
        zip::append64(zip, entries.size());
        zip::append64(zip, directory.size());
        zip::append64(zip, directoryOffset);
        zip::append32(zip, zip::zip64LocatorSignature);
        zip::append32(zip, 0);
        zip::append64(zip, recordOffset);
        zip::append32(zip, 1);
    }
    zip::append32(zip, zip::endSignature);
    zip::append16(zip, 0);
    zip::append16(zip, 0);
    zip::append16(zip, layout.zip64 ? 0xffff : std::uint32_t(entries.size()));
    zip::append16(zip, layout.zip64 ? 0xffff : std::uint32_t(entries.size()));
    zip::append32(zip, layout.zip64 ? wide : std::uint32_t(directory.size()));
    zip::append32(zip, layout.zip64 ? wide : std::uint32_t(directoryOffset));
    zip::append16(zip, 0);
    return zip;
}

void patchDeclaredSize(std::string& zip, const std::string& name, std::uint32_t size)
{
    const std::string signature("PK\1\2", 4);
    for (std::size_t at = zip.find(signature); at != std::string::npos;
         at = zip.find(signature, at + 4)) {
        std::uint32_t nameLength = zip::read16(zip.data() + at + 28);
        if (zip.compare(at + 46, nameLength, name) != 0 || nameLength != name.size())
            continue;
        zip::write(zip, at + 24, size, 4);
        zip::write(zip, zip::read32(zip.data() + at + 42) + 22, size, 4);
        return;
    }
    throw std::runtime_error("no entry named " + name);
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::map<std::string, std::string> snapshot(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> items;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string relative = fs::relative(it->path(), folder).string();
        if (it->is_symlink())
            items[relative] = "<link to " + fs::read_symlink(it->path()).string() + ">";
        else if (it->is_directory())
            items[relative] = "<folder>";
        else
            items[relative] = readFile(it->path().string());
    }
    return items;
}

}
