// Replacing a file whole, so that a crash or a power cut at any moment leaves the old contents or
// the new ones, never a mix.
#pragma once

#include "platform/foundation/Result.h"

#include <string>
#include <string_view>
#include <sys/types.h>

namespace foundation {

// Writes the bytes to a temporary file beside path (made private, then given mode), fsyncs it,
// renames it over path and fsyncs the folder. On failure path is untouched and the temporary
// file gone; one left by a kill before the rename is a stray "NAME.saving-XXXXXX" nothing reads.
Result<void> writeFileAtomically(const std::string& path, std::string_view bytes, mode_t mode);

// Makes the renames and creations inside folder durable; a folder that cannot be opened or
// synced only loses that.
void syncFolder(const std::string& folder);

}
