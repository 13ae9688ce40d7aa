// `pagewyn list`: one scan of the library, as the screen does when it appears, printed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ListOptions {
    std::optional<std::string> documents; // the library folder; the platform's default when absent
    std::int64_t order = 0;               // the sort order to step to, as the sort button would
    bool json = false;
};

// Prints the list to standard output; the answer is the process's exit status: 0 when the
// folder could be listed.
int runListCommand(const ListOptions& options);
