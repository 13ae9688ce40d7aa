// Removing a book's item from the library in a way that a failure or a kill cannot leave gutted.
#pragma once

#include "platform/foundation/Result.h"

#include <string>

// A name the folder listing could give: not empty, not "." or "..", no "/" and no NUL, so it can
// never reach outside the library folder.
bool isPlainItemName(const std::string& name);

// Moves the item libraryFolder/name into a new work folder of the library in one rename, then
// removes that folder with everything in it. An error only when the item stayed where it was,
// whole; once moved aside the book is gone from the library, and what a failed or killed
// removal leaves is hidden and removed at the next start.
foundation::Result<void> removeLibraryItem(
    const std::string& libraryFolder, const std::string& name);
