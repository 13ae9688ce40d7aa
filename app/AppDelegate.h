// AppDelegate: the application's delegate. It holds the window the main interface hands it and
// the library screen once that has loaded.
#pragma once

#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Window.h"

#include <memory>

class ViewController;

class AppDelegate : public ui::Responder, public ui::ApplicationDelegate {
public:
    // init: no window and no screen yet.
    AppDelegate() = default;
    std::string className() const override { return "AppDelegate"; }

    // window, setWindow: — set by start-up, never by the program itself.
    std::shared_ptr<ui::Window> window() const override { return m_window; }
    void setWindow(std::shared_ptr<ui::Window> window) override { m_window = std::move(window); }

    // application:openURL:options: — a file another program hands over goes to the library
    // screen's import (of the key window, the window acted in last, where there are several);
    // true in every case, also when there is no screen to take it.
    bool openURL(ui::Application& application, const foundation::URL& url,
        const ui::OpenURLOptions&) override;

    // The library screen, once its view has loaded; the last one loaded replaces any other.
    std::shared_ptr<ViewController> myViewController;

private:
    std::shared_ptr<ui::Window> m_window;
};
