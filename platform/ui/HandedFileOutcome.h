// HandedFileOutcome: how the application fared with a file handed to it (picked in the document
// picker or opened by another program), for the side of the platform that delivered the file and
// owes its sender the truth. The application reports; the deliverer listens while it delivers.
// Main thread only.
#pragma once

#include "platform/foundation/Result.h"

#include <functional>

namespace ui {

using HandedFileListener = std::function<void(const foundation::Result<void>& outcome)>;

// Replaces the listener; answers the one that was in place. An empty one hears nothing.
HandedFileListener setHandedFileListener(HandedFileListener listener);

// Called by the application once it has taken the file into its library, or failed to.
void reportHandedFile(const foundation::Result<void>& outcome);

}
