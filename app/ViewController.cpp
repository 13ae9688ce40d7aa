// The library screen's construction, its actions by selector, and its registration with the
// application delegate once its view has loaded.
#include "app/ViewController.h"

#include "app/AppDelegate.h"
#include "library/DocumentsFolder.h"
#include "library/recoverInterruptedWork.h"
#include "platform/foundation/Console.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

ViewController::ViewController(ui::TableViewStyle style)
    : ReaderEngineOwner()
    , ui::TableViewController(style)
{
    registerActions();
}

ViewController::ViewController(
    std::optional<std::string> nibName, std::optional<std::string> bundlePath)
    : ReaderEngineOwner()
    , ui::TableViewController(std::move(nibName), std::move(bundlePath))
{
    registerActions();
}

ViewController::ViewController(const ui::Coder& coder)
    : ReaderEngineOwner()
    , ui::TableViewController(coder)
{
    registerActions();
}

// The header's buttons name these selectors.
void ViewController::registerActions()
{
    registerAction("sortList", [this] { sortList(); });
    registerAction("about", [this] { about(); });
    registerAction("openSettings", [this] { openSettings(); });
    registerAction("openFile", [this] { openFile(); });
    registerAction("openLibraryFolder", [this] { openLibraryFolder(); });
}

void ViewController::viewDidLoad()
{
    ui::TableViewController::viewDidLoad();
    // Before the first scan, so a book a killed import had moved aside is listed again.
    recoverInterruptedWork(documentsFolder().path());
    tableView()->setSearchFieldName("Search books");
    tableView()->setAccessibilityLabel("Books");
    auto application = ui::Application::sharedApplication();
    auto delegate
        = application ? std::dynamic_pointer_cast<AppDelegate>(application->delegate()) : nullptr;
    auto self = std::static_pointer_cast<ViewController>(weak_from_this().lock());
    // The application is always started with an AppDelegate; a screen made outside a running
    // application (or not owned by anyone yet) has no one to register with.
    if (delegate && self)
        delegate->myViewController = std::move(self);
}

std::vector<std::shared_ptr<ViewController>> libraryScreens()
{
    std::vector<std::shared_ptr<ViewController>> screens;
    auto application = ui::Application::sharedApplication();
    if (!application)
        return screens;
    for (auto& window : application->windows()) {
        if (auto screen = std::dynamic_pointer_cast<ViewController>(window->rootViewController()))
            screens.push_back(std::move(screen));
    }
    return screens;
}
