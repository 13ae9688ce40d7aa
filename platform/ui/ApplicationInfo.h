// ApplicationInfo: what the application's property list (resources/Info.json) says of it: its
// name, version, and the document types it opens.
#pragma once

#include "platform/foundation/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct DocumentType {
    std::string name;
    std::vector<std::string> contentTypes;
    std::vector<std::string> mimeTypes;
    std::vector<std::string> extensions;
};

struct ApplicationInfo {
    std::string name;
    std::string version;
    std::string identifier;
    std::vector<DocumentType> documentTypes;

    static foundation::Result<ApplicationInfo> parse(std::string_view json);
    // The application's own, read once; a property list that cannot be read gives a name
    // "Application" and no version, so the platform still has something to show.
    static const ApplicationInfo& main();
};

}
