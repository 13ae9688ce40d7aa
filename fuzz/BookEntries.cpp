// The text framing of an unpacked book and its safe writing into a folder.
#include "fuzz/BookEntries.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace fuzzing {

namespace {

constexpr std::string_view header = "=== ";
// More than a real book's structure needs, few enough to keep each run fast.
constexpr std::size_t mostEntries = 64;
constexpr std::size_t deepestNesting = 8;
constexpr std::size_t longestSegment = 200;

bool safeName(std::string_view name)
{
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos)
        return false;
    std::size_t depth = 0;
    std::size_t start = 0;
    while (start <= name.size()) {
        auto end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        auto segment = name.substr(start, end - start);
        if (segment == ".." || segment.size() > longestSegment)
            return false;
        if (++depth > deepestNesting)
            return false;
        start = end + 1;
    }
    return name.back() != '/';
}

}

std::string encodeEntries(const std::vector<BookEntry>& entries)
{
    std::string out;
    for (auto& entry : entries) {
        out += header;
        out += entry.name;
        out += '\n';
        out += entry.bytes;
        out += '\n';
    }
    return out;
}

std::vector<BookEntry> decodeEntries(std::string_view input)
{
    std::vector<BookEntry> entries;
    std::size_t position = input.substr(0, header.size()) == header
        ? 0
        : input.find(std::string("\n") + std::string(header));
    if (position != 0 && position != std::string_view::npos)
        ++position;
    while (position != std::string_view::npos && position < input.size()) {
        auto nameStart = position + header.size();
        auto nameEnd = input.find('\n', nameStart);
        if (nameEnd == std::string_view::npos) {
            entries.push_back({ std::string(input.substr(nameStart)), std::string() });
            break;
        }
        auto next = input.find(std::string("\n") + std::string(header), nameEnd);
        auto contentEnd = next == std::string_view::npos ? input.size() : next;
        // The newline before the next header, or at the very end, belongs to the framing.
        auto content
            = input.substr(nameEnd + 1, contentEnd > nameEnd ? contentEnd - nameEnd - 1 : 0);
        if (next == std::string_view::npos && !content.empty() && content.back() == '\n')
            content.remove_suffix(1);
        entries.push_back(
            { std::string(input.substr(nameStart, nameEnd - nameStart)), std::string(content) });
        position = next == std::string_view::npos ? next : next + 1;
    }
    return entries;
}

void writeEntries(const std::vector<BookEntry>& entries, const std::string& root)
{
    std::filesystem::create_directories(root);
    std::size_t written = 0;
    for (auto& entry : entries) {
        if (written == mostEntries)
            break;
        if (!safeName(entry.name))
            continue;
        std::filesystem::path path = std::filesystem::path(root) / entry.name;
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        if (error || std::filesystem::exists(path, error))
            continue;
        std::ofstream out(path, std::ios::binary);
        out.write(entry.bytes.data(), static_cast<std::streamsize>(entry.bytes.size()));
        if (out)
            ++written;
    }
}

}
