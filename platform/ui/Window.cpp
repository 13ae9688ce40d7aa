// The window's root controller and its appearance.
#include "platform/ui/Window.h"

#include "platform/ui/Application.h"

namespace ui {

Window::Window(Rect frame)
    : View(frame)
{
}

void Window::setRootViewController(std::shared_ptr<ViewController> controller)
{
    if (controller == m_rootViewController)
        return;
    if (m_rootViewController && m_rootViewController->isViewLoaded()) {
        if (m_visible)
            m_rootViewController->viewWillDisappear(false);
        m_rootViewController->view()->removeFromSuperview();
        if (m_visible)
            m_rootViewController->viewDidDisappear(false);
    }
    m_rootViewController = std::move(controller);
    if (m_visible)
        installRootView();
}

void Window::installRootView()
{
    if (!m_rootViewController)
        return;
    auto controller = m_rootViewController;
    auto& rootView = controller->view();
    controller->viewWillAppear(false);
    rootView->setFrame(bounds());
    insertSubview(rootView, 0);
    layoutIfNeeded();
    controller->viewDidAppear(false);
}

void Window::makeKeyAndVisible()
{
    auto self = std::static_pointer_cast<Window>(weak_from_this().lock());
    if (auto application = Application::sharedApplication(); application && self) {
        application->setKeyWindow(self);
        application->addWindow(self);
    }
    if (m_visible)
        return;
    m_visible = true;
    installRootView();
}

std::shared_ptr<ViewController> Window::topViewController() const
{
    auto top = m_rootViewController;
    while (top && top->presentedViewController())
        top = top->presentedViewController();
    return top;
}

void Window::setFrame(Rect frame)
{
    View::setFrame(frame);
    for (auto controller = m_rootViewController; controller;
         controller = controller->presentedViewController()) {
        if (controller->isViewLoaded())
            controller->view()->setFrame(bounds());
    }
    layoutIfNeeded();
}

}
