// Start-up: applicationMain makes the application object and its delegate, loads the main
// interface (window, root view controller), and runs the main loop.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/Application.h"
#include "platform/ui/MainLoop.h"

#include <functional>
#include <optional>
#include <string>

namespace ui {

// What runs once the main interface is up, returning the program's exit code. By default the
// main loop runs until something stops it; the browser host installs itself here.
using ApplicationRunner = std::function<int(Application&, MainLoop&)>;
void setApplicationRunner(ApplicationRunner runner);

// Every step of start-up except running: the application object (of the principal class, or
// the platform's own when there is none), the delegate of the named class, the main interface's
// window handed to the delegate, and its root view controller shown in the key window.
foundation::Result<std::shared_ptr<Application>> launchApplication(
    const std::optional<std::string>& principalClassName, const std::string& delegateClassName,
    const std::string& interfacePath = {});

// One more window of the main interface, with a root view controller of its own, shown; the key
// window stays the one it was. Each browser that shows the application has one. Main loop, while
// the application runs.
foundation::Result<std::shared_ptr<Window>> openWindow();

// Launches and runs the application; a start-up failure is a console line "Can't start: "
// and exit code 1.
int applicationMain(int argc, char** argv, const std::optional<std::string>& principalClassName,
    const std::string& delegateClassName);

// Lets the application go: the shared application is cleared and the main loop accepts tasks
// again. For launchers and tests that start the application more than once.
void endApplication();

}
