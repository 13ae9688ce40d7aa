// MainInterface: the description of what start-up creates — the window's size and the class of
// its root view controller with the values it is decoded from. Read from a small JSON file:
//
//     { "window": { "width": 375, "height": 667 },
//       "rootViewController": { "class": "Pagewyn.ViewController", "values": { "style": "0" } } }
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Geometry.h"

#include <map>
#include <string>
#include <string_view>

namespace ui {

struct MainInterface {
    Size windowSize { 375, 667 };
    std::string rootViewControllerClass;
    std::map<std::string, std::string> rootViewControllerValues;

    // The application's own description, resources/Main.interface.json.
    static std::string defaultPath();
    static foundation::Result<MainInterface> load(const std::string& path);
    static foundation::Result<MainInterface> parse(std::string_view json);
};

}
