// Private folders named after the process that made them ("<prefix><pid>-XXXXXX"): the reader's
// copies of zipped books and the upload inbox. One left by a killed process is removed later.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace foundation {

// The mkdtemp pattern of a folder in parent owned by this process.
std::string ownedFolderPattern(const std::string& parent, std::string_view prefix);

// The process that made the folder of that name; nothing when the name is not such a folder's.
std::optional<pid_t> ownerOfFolder(std::string_view name, std::string_view prefix);

// Removes the folders in parent with the prefix whose process is gone: only this user's
// folders, never links, never a folder of this process or of one still running.
void removeAbandonedFolders(const std::string& parent, std::string_view prefix);

}
