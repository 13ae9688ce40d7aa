// Start-up in the order the main interface prescribes: delegate, window, root controller, key
// window.
#include "platform/ui/ApplicationMain.h"

#include "platform/foundation/Console.h"
#include "platform/ui/ClassRegistry.h"
#include "platform/ui/MainInterface.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
ApplicationRunner& runner()
{
    static ApplicationRunner installed;
    return installed;
}

// The main interface the running application was launched with; later windows show it too.
std::string& interfaceInUse()
{
    static std::string path;
    return path;
}

// A window of the main interface's size with a new root view controller of its class, not yet
// shown.
foundation::Result<std::shared_ptr<Window>> makeInterfaceWindow()
{
    auto interface = TRY(MainInterface::load(interfaceInUse()));
    auto window = std::make_shared<Window>(
        makeRect(0, 0, interface.windowSize.width, interface.windowSize.height));
    Coder coder(interface.rootViewControllerValues);
    auto root = std::dynamic_pointer_cast<ViewController>(
        instantiateClass(interface.rootViewControllerClass, &coder));
    if (!root)
        return foundation::Error(
            "\"" + interface.rootViewControllerClass + "\" is no view controller class");
    window->setRootViewController(root);
    return window;
}
}

void setApplicationRunner(ApplicationRunner newRunner)
{
    runner() = std::move(newRunner);
}

foundation::Result<std::shared_ptr<Application>> launchApplication(
    const std::optional<std::string>& principalClassName, const std::string& delegateClassName,
    const std::string& interfacePath)
{
    MainLoop::main().claimCurrentThread();

    std::shared_ptr<Application> application;
    if (principalClassName) {
        application = std::dynamic_pointer_cast<Application>(
            instantiateClass(*principalClassName, nullptr));
        if (!application)
            return foundation::Error("\"" + *principalClassName + "\" is no application class");
    } else {
        application = std::make_shared<Application>();
    }
    auto delegateObject = instantiateClass(delegateClassName, nullptr);
    auto delegate = std::dynamic_pointer_cast<ApplicationDelegate>(delegateObject);
    if (!delegate)
        return foundation::Error("\"" + delegateClassName + "\" is no application delegate class");
    application->setDelegate(delegate);
    Application::setSharedApplication(application);

    interfaceInUse() = interfacePath.empty() ? MainInterface::defaultPath() : interfacePath;
    auto window = makeInterfaceWindow();
    if (!window) {
        Application::setSharedApplication(nullptr);
        return window.error();
    }
    delegate->setWindow(*window);
    (*window)->makeKeyAndVisible();
    return application;
}

foundation::Result<std::shared_ptr<Window>> openWindow()
{
    if (!Application::sharedApplication())
        return foundation::Error("the application is not running");
    auto window = TRY(makeInterfaceWindow());
    auto key = Application::sharedApplication()->keyWindow();
    window->makeKeyAndVisible();
    // A new window is shown without taking the events of the one in front.
    if (key)
        Application::sharedApplication()->setKeyWindow(key);
    return window;
}

int applicationMain(int, char**, const std::optional<std::string>& principalClassName,
    const std::string& delegateClassName)
{
    auto application = launchApplication(principalClassName, delegateClassName);
    if (!application) {
        foundation::console("Can't start: " + application.error().description());
        return 1;
    }
    auto& loop = MainLoop::main();
    int exitCode = runner() ? runner()(**application, loop) : loop.run();
    endApplication();
    return exitCode;
}

void endApplication()
{
    Application::setSharedApplication(nullptr);
    MainLoop::main().reset();
}

}
