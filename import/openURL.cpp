// Files handed over by other programs arrive at the delegate and go to the library screen: the one
// of the window acted in last, where each browser has a window of its own.
#include "app/AppDelegate.h"
#include "app/ViewController.h"

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

bool AppDelegate::openURL(
    ui::Application& application, const foundation::URL& url, const ui::OpenURLOptions&)
{
    if (!myViewController)
        return true;
    // With a window per browser, the screen of the one acted in last takes the book and opens it.
    auto key = application.keyWindow();
    auto screen
        = key ? std::dynamic_pointer_cast<ViewController>(key->rootViewController()) : nullptr;
    (screen ? screen : myViewController)->importBook(url);
    return true;
}
