// The zip format's little-endian records, written and patched by hand.
#include "tests/frameworks/ziparchive/ZipBytes.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ziptest {

namespace {

std::uint32_t crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(std::string& out, std::uint32_t value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::uint32_t get16(const std::string& in, std::size_t at)
{
    return std::uint32_t(std::uint8_t(in[at])) | std::uint32_t(std::uint8_t(in[at + 1])) << 8;
}

void set32(std::string& out, std::size_t at, std::uint32_t value)
{
    std::string bytes;
    put32(bytes, value);
    out.replace(at, 4, bytes);
}

std::uint32_t get32(const std::string& in, std::size_t at)
{
    return get16(in, at) | get16(in, at + 2) << 16;
}

}

std::string storedZip(const std::vector<StoredEntry>& entries)
{
    std::string zip;
    std::string directory;
    std::vector<std::uint32_t> offsets;
    for (const StoredEntry& entry : entries) {
        const StoredEntry& data = entry.sharesDataOf ? entries.at(*entry.sharesDataOf) : entry;
        std::uint32_t offset = entry.sharesDataOf ? offsets.at(*entry.sharesDataOf) : std::uint32_t(zip.size());
        offsets.push_back(offset);
        std::uint32_t crc = crc32(data.bytes);
        std::uint32_t size = std::uint32_t(data.bytes.size());
        std::uint32_t declared = data.declaredSize.value_or(size);

        if (!entry.sharesDataOf) {
            put32(zip, 0x04034b50);
            put16(zip, 20);     // version needed
            put16(zip, 0x0800); // names are UTF-8
            put16(zip, 0);      // stored
            put32(zip, 0);      // time and date
            put32(zip, crc);
            put32(zip, size);
            put32(zip, declared);
            put16(zip, std::uint32_t(entry.name.size()));
            put16(zip, 0);
            zip += entry.name;
            zip += entry.bytes;
        }

        put32(directory, 0x02014b50);
        put16(directory, entry.unixMode ? (3u << 8 | 20) : 20);
        put16(directory, 20);
        put16(directory, 0x0800);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, crc);
        put32(directory, size);
        put32(directory, declared);
        put16(directory, std::uint32_t(entry.name.size()));
        put16(directory, 0); // extra field
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, entry.unixMode ? *entry.unixMode << 16 : 0);
        put32(directory, offset);
        directory += entry.name;
    }
    std::uint32_t directoryOffset = std::uint32_t(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, std::uint32_t(entries.size()));
    put16(zip, std::uint32_t(entries.size()));
    put32(zip, std::uint32_t(directory.size()));
    put32(zip, directoryOffset);
    put16(zip, 0);
    return zip;
}

void patchDeclaredSize(std::string& zip, const std::string& name, std::uint32_t size)
{
    const std::string signature("PK\1\2", 4);
    for (std::size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4)) {
        std::uint32_t nameLength = get16(zip, at + 28);
        if (zip.compare(at + 46, nameLength, name) != 0 || nameLength != name.size())
            continue;
        set32(zip, at + 24, size);
        set32(zip, get32(zip, at + 42) + 22, size);
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
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
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
