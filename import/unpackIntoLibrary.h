// Unpacking an EPUB file into the library so that a broken file never costs a book.
#pragma once

#include "platform/foundation/Result.h"

#include <string>

// Unpacks the archive at source into the folder libraryFolder/name. The archive is unpacked
// into a work folder of the library that the scan does not list; only when that succeeded, the
// unpacked book reads as the scan will read it (title and author), and it is on the disk, does
// the new folder take its place, dated now: by exchanging it with an item
// already named so in one step, or by moving that item aside first where the file system cannot
// exchange. On any failure the library is as it was, and a kill at any moment leaves the old
// book or the new one under the name, or the old one in the work folder for the next start to
// put back (recoverInterruptedWork). A name that is empty, ".", "..", holds a "/" or is a work
// folder's is refused, since the book would land on the library folder itself, outside it, or
// where the next start removes it.
foundation::Result<void> unpackIntoLibrary(
    const std::string& source, const std::string& libraryFolder, const std::string& name);
