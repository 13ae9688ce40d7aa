// SettingsPage: what the platform's page of the system's settings shows for this application —
// its name and version, its library folder with the items it lists and the bytes it holds, and
// where its highlight database lives. The platform draws it; the application never sees it.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

struct SettingsPage {
    std::string applicationName;
    std::string version;
    std::string libraryFolder;
    std::uint64_t itemCount
        = 0; // entries directly inside the library folder that the application lists
    std::uint64_t byteCount = 0; // bytes of every file in it, folders' contents included
    bool countComplete = true; // false when the walk stopped at its bound
    std::string highlightDatabase; // the database file's path
    bool highlightDatabaseExists = false;

    // Reads the page's facts now; the items counted are those whose names end in the ending the
    // application lists (its own files beside them, such as the highlight database, are not).
    // The walk of the folder is bounded, so a huge library answers quickly with countComplete
    // false.
    static SettingsPage current(const std::string& listedEnding);
};

// "1.2 MB", "512 bytes": a byte count as a person reads it.
std::string readableByteCount(std::uint64_t bytes);

}
