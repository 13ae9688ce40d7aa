// PickerSnapshot: what the browser draws of the document picker in front — a sheet with a file
// chooser offering the picker's types, and a cancel button.
#pragma once

#include "platform/ui/DocumentPickerViewController.h"

#include <nlohmann/json.hpp>

namespace host {

nlohmann::json pickerSnapshot(ui::DocumentPickerViewController& picker);

}
