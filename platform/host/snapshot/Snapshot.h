// Snapshot: what the browser draws of the application's key window — its size, the screen at
// its root (a table, or any view tree), the screens presented over it, and the addresses the
// program asked to open outside itself. Taken on the main loop.
#pragma once

#include "platform/host/snapshot/ImageRegistry.h"
#include "platform/ui/Window.h"

#include <nlohmann/json.hpp>

namespace host {

nlohmann::json windowSnapshot(ui::Window& window, ImageRegistry& images);

}
