// Gathering the settings page's facts from the application's property list and its folder.
#include "platform/ui/SettingsPage.h"

#include "platform/foundation/FileManager.h"
#include "platform/ui/ApplicationInfo.h"

#include <cstdio>
#include <filesystem>

namespace ui {

namespace {
// Enough for any real library; past it the page says "at least".
constexpr std::uint64_t maximumEntriesWalked = 500000;
constexpr const char* highlightDatabaseName = "highlights.realm";
}

SettingsPage SettingsPage::current(const std::string& listedEnding)
{
    namespace fs = std::filesystem;
    SettingsPage page;
    const auto& info = ApplicationInfo::main();
    page.applicationName = info.name;
    page.version = info.version;
    auto folder = foundation::FileManager::defaultManager()->urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    if (folder.empty())
        return page;
    page.libraryFolder = folder.front().path();
    page.highlightDatabase = folder.front().appendingPathComponent(highlightDatabaseName).path();
    std::error_code error;
    page.highlightDatabaseExists = fs::exists(fs::symlink_status(page.highlightDatabase, error));

    std::uint64_t walked = 0;
    for (fs::recursive_directory_iterator
             entry(page.libraryFolder, fs::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end; entry.increment(error)) {
        if (++walked > maximumEntriesWalked) {
            page.countComplete = false;
            break;
        }
        const auto name = entry->path().filename().native();
        if (entry.depth() == 0 && name.ends_with(listedEnding))
            ++page.itemCount;
        std::error_code sizeError;
        if (entry->is_regular_file(sizeError) && !entry->is_symlink(sizeError))
            page.byteCount += entry->file_size(sizeError);
    }
    return page;
}

std::string readableByteCount(std::uint64_t bytes)
{
    if (bytes < 1000)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    const char* units[] = { "kB", "MB", "GB", "TB" };
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1000 && unit < 3) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

}
