// The picker's snapshot: kind "picker", the types it accepts and where the chosen file goes. Its
// heading is the page's, in the application's words.
#include "platform/host/snapshot/PickerSnapshot.h"

#include "platform/ui/ApplicationInfo.h"

#include <algorithm>

namespace host {

namespace {

// The names the application's property list gives the picker's types ("EPUB book").
nlohmann::json typeNames(const ui::DocumentPickerViewController& picker)
{
    auto names = nlohmann::json::array();
    for (const auto& documentType : ui::ApplicationInfo::main().documentTypes) {
        const auto& offered = picker.documentTypes();
        bool wanted = std::any_of(documentType.contentTypes.begin(),
            documentType.contentTypes.end(), [&](const std::string& type) {
                return std::find(offered.begin(), offered.end(), type) != offered.end();
            });
        if (wanted && !documentType.name.empty())
            names.push_back(documentType.name);
    }
    return names;
}

}

nlohmann::json pickerSnapshot(ui::DocumentPickerViewController& picker)
{
    auto types = nlohmann::json::array();
    for (auto& extension : picker.acceptedExtensions())
        types.push_back(extension);
    for (auto& mimeType : picker.acceptedMimeTypes())
        types.push_back(mimeType);
    return {
        { "kind", "picker" },
        { "controller", picker.className() },
        { "types", std::move(types) },
        { "typeNames", typeNames(picker) },
        { "multiple", false },
        { "upload", "/pick" },
    };
}

}
