// Factories of the application's classes: the delegate by its plain initialiser, the library
// screen by the coder of the main interface, or by initWithNibName:bundle: without one.
#include "app/ApplicationClasses.h"

#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "platform/ui/ClassRegistry.h"

void registerApplicationClasses()
{
    ui::registerClass("Pagewyn.AppDelegate", typeid(AppDelegate),
        [](const ui::Coder*) { return std::make_shared<AppDelegate>(); });
    ui::registerClass("Pagewyn.ViewController", typeid(ViewController), [](const ui::Coder* coder) {
        if (coder)
            return std::make_shared<ViewController>(*coder);
        return std::make_shared<ViewController>(std::nullopt, std::nullopt);
    });
}
