// AlertSnapshot: what the browser draws of an alert in front — its title and message, styled
// where the application gave styled text, and a button per action.
#pragma once

#include "platform/ui/AlertController.h"

#include <nlohmann/json.hpp>

namespace host {

nlohmann::json alertSnapshot(ui::AlertController& alert);

}
