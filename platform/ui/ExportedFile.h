// ExportedFile: a file the application hands the person to keep (highlights as Markdown), made
// whole in memory; the platform offers it as a download under its name.
#pragma once

#include <string>

namespace ui {

struct ExportedFile {
    // A name safe on any file system, without folders.
    std::string fileName;
    std::string mediaType;
    std::string bytes;
};

}
