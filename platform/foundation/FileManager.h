// FileManager: listing, attributes, modification dates and removal of the library's items.
#pragma once

#include "platform/foundation/Date.h"
#include "platform/foundation/Result.h"
#include "platform/foundation/URL.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace foundation {

enum class SearchPathDirectory { documentDirectory = 9 };
enum class SearchPathDomainMask { userDomainMask = 1 };

namespace FileAttributeKey {
inline constexpr std::string_view modificationDate = "NSFileModificationDate";
inline constexpr std::string_view size = "NSFileSize";
inline constexpr std::string_view type = "NSFileType";
}

namespace FileAttributeType {
inline constexpr std::string_view regular = "NSFileTypeRegular";
inline constexpr std::string_view directory = "NSFileTypeDirectory";
inline constexpr std::string_view symbolicLink = "NSFileTypeSymbolicLink";
inline constexpr std::string_view other = "NSFileTypeUnknown";
}

using FileAttributeValue = std::variant<Date, std::uint64_t, std::string_view>;

// The attribute table of one item, keyed by attribute name. Keys are the FileAttributeKey
// constants, so building a table allocates nothing per key.
class FileAttributes {
public:
    void set(std::string_view key, FileAttributeValue value);
    const FileAttributeValue* find(std::string_view key) const;
    bool empty() const { return m_entries.empty(); }

    // The modification date, when the table has one and it is a date.
    std::optional<Date> modificationDate() const;

private:
    std::vector<std::pair<std::string_view, FileAttributeValue>> m_entries;
};

class FileManager {
public:
    FileManager() = default;

    // The shared file manager.
    static std::shared_ptr<FileManager> defaultManager();

    // The launcher may point the user domain's documents directory elsewhere before first use.
    static void setDocumentsDirectoryOverride(std::optional<std::string> path);

    // The documents directory of the user domain: $XDG_DATA_HOME/pagewyn/Documents, by default
    // ~/.local/share/pagewyn/Documents. With create, the folder and its parents are made.
    Result<URL> urlForDirectory(SearchPathDirectory, SearchPathDomainMask,
        const std::optional<URL>& appropriateFor, bool create) const;
    std::vector<URL> urlsForDirectory(SearchPathDirectory, SearchPathDomainMask) const;

    // Names of all entries directly inside the folder, hidden ones included, in the file
    // system's order.
    Result<std::vector<std::string>> contentsOfDirectoryAtPath(const std::string& path) const;
    // Attributes of the item itself (a symbolic link is not followed).
    Result<FileAttributes> attributesOfItemAtPath(const std::string& path) const;
    // Sets the attributes it knows (the modification date) on the item.
    Result<void> setAttributes(const FileAttributes& attributes, const std::string& path) const;
    // Removes a file, a symbolic link, or a folder with everything in it.
    Result<void> removeItemAtPath(const std::string& path) const;
    bool fileExistsAtPath(const std::string& path, bool* isDirectory = nullptr) const;
    Result<void> createDirectoryAtPath(
        const std::string& path, bool withIntermediateDirectories) const;
    // Renames within one file system; fails when the destination exists.
    Result<void> moveItemAtPath(const std::string& source, const std::string& destination) const;
};

// "path: reason" for the current errno, the wording every file error of the platform uses.
Error fileError(const std::string& path, int errorNumber);

}
