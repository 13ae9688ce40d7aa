// Unpacking an EPUB file into the library so that a broken file never costs a book.
#pragma once

#include "platform/foundation/Result.h"

#include <string>

// Unpacks the archive at source into the folder libraryFolder/name. The archive is unpacked
// into a hidden folder of the library that the scan does not list; only when that succeeded
// does an item already named so give way, and the new folder takes its place, dated now. On
// any failure the library is as it was. A name that is empty, ".", ".." or holds a "/" is
// refused, since the book would land on the library folder itself or outside it.
foundation::Result<void> unpackIntoLibrary(const std::string& source, const std::string& libraryFolder, const std::string& name);
