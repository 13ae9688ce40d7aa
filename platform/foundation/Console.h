// The diagnostic console: one line per failure, on standard output unless a test listens.
#pragma once

#include <functional>
#include <string_view>

namespace foundation {

// Writes the line and a line break.
void console(std::string_view line);

using ConsoleSink = std::function<void(std::string_view line)>;

// Sends console lines to the sink instead of standard output; an empty sink restores standard
// output. Returns the sink that was in place.
ConsoleSink setConsoleSink(ConsoleSink sink);

}
