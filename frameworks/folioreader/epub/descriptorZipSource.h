// descriptorZipSource: a book's zip archive read straight from its open descriptor.
#pragma once

#include "platform/foundation/FileDescriptor.h"

#include <zip.h>

struct stat;

namespace folioreader {

// A read-only source over the archive open as descriptor, whose status the caller has just taken;
// nullptr with error set when it cannot be made. It reads at its own offsets with pread (no stream
// buffer, no seek or status calls), and keeps the archive's last 64 KiB, read once when first
// asked: the zip's directory lies there, and a small book wholly. The source owns the descriptor.
zip_source_t* descriptorZipSource(foundation::FileDescriptor descriptor, const struct stat& status, zip_error_t* error);

}
