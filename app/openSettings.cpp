// The settings link: this application's page of the system's settings.
#include "app/ViewController.h"

#include "platform/ui/Application.h"

void ViewController::openSettings()
{
    auto url = foundation::URL::withString(ui::Application::openSettingsURLString);
    if (auto application = ui::Application::sharedApplication(); url && application)
        application->openURL(*url, {});
}
