// The browser and the system named by a User-Agent header.
#include "platform/host/pairing/deviceName.h"

#include <utility>

namespace host {

namespace {

// The first name whose mark the header holds. Order matters: browsers built on another name it
// too (Edge's header also says Chrome and Safari; Chrome's says Safari).
std::string_view firstNamed(std::string_view userAgent,
    std::initializer_list<std::pair<std::string_view, std::string_view>> marks)
{
    for (auto& [mark, name] : marks) {
        if (userAgent.find(mark) != std::string_view::npos)
            return name;
    }
    return {};
}

}

std::string deviceName(std::string_view userAgent)
{
    auto browser = firstNamed(userAgent,
        { { "Edg", "Edge" }, { "OPR/", "Opera" }, { "Firefox/", "Firefox" },
            { "FxiOS/", "Firefox" }, { "CriOS/", "Chrome" }, { "Chrome/", "Chrome" },
            { "Safari/", "Safari" } });
    auto system = firstNamed(userAgent,
        { { "iPhone", "iPhone" }, { "iPad", "iPad" }, { "Android", "Android" },
            { "CrOS", "ChromeOS" }, { "Windows", "Windows" }, { "Macintosh", "macOS" },
            { "Linux", "Linux" } });
    if (browser.empty() && system.empty())
        return "A browser";
    if (system.empty())
        return std::string(browser);
    return std::string(browser.empty() ? "A browser" : browser) + " on " + std::string(system);
}

}
