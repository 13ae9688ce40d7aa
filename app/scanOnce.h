// The one scan of the library a headless command makes before it answers (`list`, `search`).
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace folioreader {
class MetadataStore;
}

struct ScanOnce {
    std::optional<std::string> documents; // the library folder; the platform's default when absent
    // Titles and authors kept by earlier runs, as the program reads them; nullptr reads every book.
    std::shared_ptr<folioreader::MetadataStore> metadataStore;
    // Whether the scan's console lines go to standard error, standard output being the answer's.
    bool consoleToStandardError = false;
    // What the command does, for its errors: "list", "search".
    std::string doing;
};

// Scans the folder into the program's book list and answers the folder's path; nothing when the
// folder cannot be listed, said on standard error ("pagewyn: cannot <doing> the library: ...").
// A folder named on the command line is listed as it is and never made.
std::optional<std::string> scanOnce(const ScanOnce& scan);
