// `pagewyn list`: one scan of the library, as the screen does when it appears, printed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace folioreader {
class MetadataStore;
}

struct ListOptions {
    std::optional<std::string> documents; // the library folder; the platform's default when absent
    std::int64_t order = 0; // the sort order to step to, as the sort button would
    bool json = false;
    // Titles and authors kept by earlier runs, as the program reads them; nullptr reads every book.
    std::shared_ptr<folioreader::MetadataStore> metadataStore;
};

// Prints the list to standard output; the answer is the process's exit status: 0 when the
// folder could be listed.
int runListCommand(const ListOptions& options);
