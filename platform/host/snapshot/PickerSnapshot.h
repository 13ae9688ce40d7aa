// PickerSnapshot: what the browser draws of the document picker in front — a form sheet with a
// heading, a file chooser offering the picker's types (file name endings and media types, and
// their names for people), and a cancel button. The chosen file is sent to the route "upload"
// names; the picker takes one file.
#pragma once

#include "platform/ui/DocumentPickerViewController.h"

#include <nlohmann/json.hpp>

namespace host {

nlohmann::json pickerSnapshot(ui::DocumentPickerViewController& picker);

}
