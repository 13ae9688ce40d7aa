// Starting a child process with nothing of Pagewyn's terminal: standard input on /dev/null, its
// output into a file the caller gives or else /dev/null, no shell reading its arguments.
#pragma once

#include "platform/foundation/Result.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace desktop {

struct ChildOptions {
    // The program is looked for on the search path; otherwise words.front() is its path.
    bool searchPath = false;
    // The child leads a session of its own, so it runs on once the command that started it ends.
    bool ownSession = false;
    // Where its output and errors go, an open descriptor; -1 for /dev/null.
    int output = -1;
};

// Starts words.front() with the words after it as arguments: its process id, or why it could
// not be started.
foundation::Result<pid_t> startChild(
    const std::vector<std::string>& words, const ChildOptions& options = {});

}
