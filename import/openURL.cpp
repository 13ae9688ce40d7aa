// Files handed over by other programs arrive at the delegate and go to the library screen.
#include "app/AppDelegate.h"
#include "app/ViewController.h"

bool AppDelegate::openURL(ui::Application&, const foundation::URL& url, const ui::OpenURLOptions&)
{
    if (myViewController)
        myViewController->importBook(url);
    return true;
}
