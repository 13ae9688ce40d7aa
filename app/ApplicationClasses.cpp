// Factories of the application's classes: the delegate by its plain initialiser, the library
// screen by the coder of the main interface, or by initWithNibName:bundle: without one, then
// handed the program's background work.
#include "app/ApplicationClasses.h"

#include "app/AppDelegate.h"
#include "app/ViewController.h"
#include "platform/ui/ClassRegistry.h"

void registerApplicationClasses(const BackgroundWork& work)
{
    ui::registerClass("Pagewyn.AppDelegate", typeid(AppDelegate),
        [](const ui::Coder*) { return std::make_shared<AppDelegate>(); });
    ui::registerClass(
        "Pagewyn.ViewController", typeid(ViewController), [work](const ui::Coder* coder) {
            auto screen = coder ? std::make_shared<ViewController>(*coder)
                                : std::make_shared<ViewController>(std::nullopt, std::nullopt);
            screen->setBackgroundWork(work);
            return screen;
        });
}
