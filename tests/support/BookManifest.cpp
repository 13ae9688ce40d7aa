// BookManifest: one line of JSON read into a book's entries, and the book written.
#include "tests/support/BookManifest.h"

#include "platform/foundation/base64Decoded.h"
#include "tests/support/TinyPictures.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace fixtures {

namespace {

using foundation::Error;
using nlohmann::json;

constexpr int largestPicture = 4096;

// Fails unless every key of the object is one of the known ones: a misspelt key is a fault of the
// test that wrote it, not a default to take quietly.
std::optional<Error> unknownKey(
    const json& object, std::initializer_list<std::string_view> known, const std::string& where)
{
    for (const auto& [key, value] : object.items()) {
        if (std::find(known.begin(), known.end(), key) == known.end())
            return Error(where + " has an unknown key \"" + key + "\"");
    }
    return std::nullopt;
}

// Whether value is a whole number from lowest to highest.
bool wholeIn(const json& value, std::int64_t lowest, std::int64_t highest)
{
    return value.is_number_integer() && value.get<std::int64_t>() >= lowest
        && value.get<std::int64_t>() <= highest;
}

foundation::Result<std::string> solidPicture(const json& png, const std::string& where)
{
    auto at
        = [&](const char* key) { return png.is_object() && png.contains(key) ? png[key] : json(); };
    json width = at("width"), height = at("height"), color = at("color");
    if (!wholeIn(width, 1, largestPicture) || !wholeIn(height, 1, largestPicture)
        || !color.is_array() || color.size() != 3
        || !std::all_of(color.begin(), color.end(),
            [](const json& channel) { return wholeIn(channel, 0, 255); }))
        return Error(where
            + ": a png is {\"width\": W, \"height\": H, \"color\": [R, G, B]}, sides 1 to 4096 and "
              "channels 0 to 255");
    return solidPng(width.get<int>(), height.get<int>(), color[0].get<std::uint8_t>(),
        color[1].get<std::uint8_t>(), color[2].get<std::uint8_t>());
}

foundation::Result<Entry> entryOf(const json& item, std::size_t index)
{
    std::string where = "entry " + std::to_string(index + 1);
    if (!item.is_object() || !item.contains("name") || !item["name"].is_string()
        || item["name"].get<std::string>().empty())
        return Error(where + " has no name");
    where += " (\"" + item["name"].get<std::string>() + "\")";
    if (auto error = unknownKey(item, { "name", "text", "base64", "png", "link", "stored" }, where))
        return *error;
    Entry entry { .name = item["name"].get<std::string>() };
    if (item.contains("stored")) {
        if (!item["stored"].is_boolean())
            return Error(where + ": stored is true or false");
        entry.stored = item["stored"].get<bool>();
    }
    int contents = int(item.contains("text")) + int(item.contains("base64"))
        + int(item.contains("png")) + int(item.contains("link"));
    if (contents != 1)
        return Error(where + " needs exactly one of text, base64, png and link");
    if (item.contains("png")) {
        auto picture = solidPicture(item["png"], where);
        if (!picture)
            return picture.error();
        entry.bytes = std::move(*picture);
        return entry;
    }
    const char* key = item.contains("text") ? "text" : item.contains("base64") ? "base64" : "link";
    if (!item[key].is_string())
        return Error(where + ": " + key + " is a string");
    auto value = item[key].get<std::string>();
    if (item.contains("link")) {
        entry.linkTarget = std::move(value);
    } else if (item.contains("base64")) {
        auto bytes = foundation::base64Decoded(value);
        if (!bytes)
            return Error(where + ": base64 holds something other than base64");
        entry.bytes = std::move(*bytes);
    } else {
        entry.bytes = std::move(value);
    }
    return entry;
}

}

foundation::Result<BookManifest> BookManifest::parse(std::string_view line)
{
    json book = json::parse(line, nullptr, false);
    if (book.is_discarded() || !book.is_object())
        return Error("a book is one JSON object on a line");
    if (auto error = unknownKey(book, { "path", "unpacked", "modified", "entries" }, "the book"))
        return *error;
    if (!book.contains("path") || !book["path"].is_string()
        || book["path"].get<std::string>().empty())
        return Error("the book has no path");
    BookManifest manifest { .path = book["path"].get<std::string>() };
    if (book.contains("unpacked")) {
        if (!book["unpacked"].is_boolean())
            return Error("unpacked is true or false");
        manifest.unpacked = book["unpacked"].get<bool>();
    }
    if (book.contains("modified")) {
        if (!book["modified"].is_number_integer())
            return Error("modified is a whole number of seconds since 1970");
        manifest.modified = book["modified"].get<std::int64_t>();
    }
    if (!book.contains("entries") || !book["entries"].is_array())
        return Error("the book has no list of entries");
    for (std::size_t index = 0; index < book["entries"].size(); ++index) {
        auto entry = entryOf(book["entries"][index], index);
        if (!entry)
            return entry.error();
        manifest.entries.push_back(std::move(*entry));
    }
    return manifest;
}

void BookManifest::write() const
{
    if (unpacked)
        writeFolder(path, entries);
    else
        writeZip(path, entries);
    if (!modified)
        return;
    const timespec times[2]
        = { { .tv_sec = *modified, .tv_nsec = 0 }, { .tv_sec = *modified, .tv_nsec = 0 } };
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error(
            "cannot set the modification time of " + path + ": " + std::strerror(errno));
}

}
