// The picker's snapshot: kind "picker" and the file name endings and media types it accepts.
#include "platform/host/PickerSnapshot.h"

namespace host {

nlohmann::json pickerSnapshot(ui::DocumentPickerViewController& picker)
{
    auto types = nlohmann::json::array();
    for (auto& extension : picker.acceptedExtensions())
        types.push_back(extension);
    for (auto& mimeType : picker.acceptedMimeTypes())
        types.push_back(mimeType);
    return { { "kind", "picker" }, { "controller", picker.className() }, { "types", std::move(types) } };
}

}
