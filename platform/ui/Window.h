// Window: the top of the view tree. It shows its root view controller's view, and over it the
// views of the controllers presented from there.
#pragma once

#include "platform/ui/ViewController.h"

namespace ui {

class Window : public View {
public:
    explicit Window(Rect frame = makeRect(0, 0, 375, 667));
    std::string className() const override { return "Window"; }

    const std::shared_ptr<ViewController>& rootViewController() const
    {
        return m_rootViewController;
    }
    // Installs the controller's view; when the window is visible the controller appears at once.
    void setRootViewController(std::shared_ptr<ViewController> controller);
    // Makes the window visible and the application's key window: the root controller appears.
    void makeKeyAndVisible();
    bool isVisible() const { return m_visible; }

    // The controller in front: the last one presented from the root, or the root itself.
    std::shared_ptr<ViewController> topViewController() const;

    // Resizes the window and the views of its controllers with it.
    void setFrame(Rect frame) override;

private:
    void installRootView();

    std::shared_ptr<ViewController> m_rootViewController;
    bool m_visible = false;
};

}
