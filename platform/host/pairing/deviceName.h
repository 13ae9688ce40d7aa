// A paired device's name, from what its browser says of itself.
#pragma once

#include <string>
#include <string_view>

namespace host {

// "Firefox on Android", "Safari on iPhone", "Chrome": the browser and the system a User-Agent
// header names, from fixed words only (nothing of the header itself is repeated); "A browser"
// when it names neither.
std::string deviceName(std::string_view userAgent);

}
