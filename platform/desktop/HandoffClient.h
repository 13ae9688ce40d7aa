// HandoffClient: the side of a later command that hands a book file to the instance serving a
// library. It finds the instance through its instance file, asks it which library it serves and
// whether it is ready, and streams the file to it. The file's bytes travel, not its path: the
// instance then reads nothing of the disk on a caller's say-so, so whoever holds the token (a
// device the library is served to) gains no way to make it read the machine's other files.
#pragma once

#include "platform/desktop/InstanceFile.h"
#include "platform/desktop/UploadName.h"
#include "platform/foundation/Result.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace desktop {

struct InstanceStatus {
    std::string documents;
    bool ready = false;
    pid_t pid = 0;
};

// What the instance in the record says of itself; an error when it does not answer as a Pagewyn
// holding that token.
foundation::Result<InstanceStatus> askInstance(const InstanceRecord& record);

// The instance whose file the library folder names, when the process the file names listens on
// its port, answers and serves that library. A stale file (its program gone, its port another's)
// gives nothing, and nothing is sent to that port; a file whose program is gone is removed.
std::optional<InstanceRecord> findRunningInstance(const std::string& documentsFolder);

// Asks until the instance is ready, for at most the time, while stillWaiting says so.
foundation::Result<void> waitUntilReady(const InstanceRecord& record,
    std::chrono::milliseconds longest, const std::function<bool()>& stillWaiting = {});

// Streams the file, of the kind the application takes, to the instance, which imports it as a file
// another program handed over. With showLibrary the instance opens the library in the browser when
// no page shows it.
foundation::Result<void> handOver(const InstanceRecord& record, const std::string& filePath,
    const UploadKind& kind, bool showLibrary);

}
