// AlertSnapshot: what the browser draws of an alert in front — its title and message, styled
// where the application gave styled text, the panel's colours, and a button per action.
#pragma once

#include "platform/ui/AlertController.h"
#include "platform/ui/AttributedString.h"

#include <nlohmann/json.hpp>

namespace host {

// Kind "alert"; "titleRuns" / "messageRuns" where the application set styled text under
// "attributedTitle" / "attributedMessage", else the plain "title" / "message"; "panel" with the
// content container's background and the alert's tint; "actions" with title and style, in order.
nlohmann::json alertSnapshot(ui::AlertController& alert);

// The runs of styled text: each its text ("\n" for a line break), its font (name, family, size,
// bold, italic) and colour where the run sets them, and its paragraph alignment.
nlohmann::json runsJson(const ui::AttributedString& text);

}
