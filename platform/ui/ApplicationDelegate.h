// ApplicationDelegate: the object the application is started with; it holds the window.
#pragma once

#include "platform/foundation/URL.h"

#include <map>
#include <memory>
#include <string>

namespace ui {

class Application;
class Window;

using OpenURLOptions = std::map<std::string, std::string>;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;

    // window, setWindow: — the main interface hands the window over here.
    virtual std::shared_ptr<Window> window() const = 0;
    virtual void setWindow(std::shared_ptr<Window> window) = 0;

    // application:openURL:options: — another program hands a file over; true when it was taken.
    virtual bool openURL(Application&, const foundation::URL&, const OpenURLOptions&)
    {
        return false;
    }
};

}
