// View loading, appearance and presentation.
#include "platform/ui/ViewController.h"

#include "platform/ui/Fault.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
Window* windowOf(View* view)
{
    for (; view; view = view->superview()) {
        if (auto* window = dynamic_cast<Window*>(view))
            return window;
    }
    return nullptr;
}

bool coversPresenter(ModalPresentationStyle style)
{
    return style == ModalPresentationStyle::fullScreen;
}
}

ViewController::ViewController() = default;

ViewController::ViewController(
    std::optional<std::string> nibName, std::optional<std::string> bundlePath)
    : m_nibName(std::move(nibName))
    , m_bundlePath(std::move(bundlePath))
{
}

ViewController::ViewController(const Coder& coder)
    : m_nibName(coder.decodeString("nibName"))
{
}

ViewController::~ViewController()
{
    if (m_view)
        m_view->setOwningController(nullptr);
    if (m_presented)
        m_presented->m_presenting = nullptr;
}

const std::shared_ptr<View>& ViewController::view()
{
    if (!m_view) {
        loadView();
        if (!m_view)
            m_view = std::make_shared<View>();
        m_view->setOwningController(this);
        viewDidLoad();
    }
    return m_view;
}

void ViewController::loadView()
{
    setView(std::make_shared<View>());
}

void ViewController::setView(std::shared_ptr<View> view)
{
    if (m_view)
        m_view->setOwningController(nullptr);
    m_view = std::move(view);
    if (m_view)
        m_view->setOwningController(this);
}

Responder* ViewController::nextResponder() const
{
    if (m_view && m_view->superview())
        return m_view->superview();
    return m_presenting;
}

void ViewController::presentViewController(
    std::shared_ptr<ViewController> controller, bool animated, std::function<void()> completion)
{
    if (!controller)
        return;
    if (m_presented) {
        reportFault("attempt to present " + controller->className() + " on " + className()
            + ", which already presents " + m_presented->className());
        return;
    }
    Window* window = windowOf(view().get());
    if (!window) {
        reportFault("attempt to present " + controller->className() + " on " + className()
            + ", whose view is not in a window");
        return;
    }
    m_presented = controller;
    controller->m_presenting = this;
    auto& presentedView = controller->view();
    bool covers = coversPresenter(controller->m_modalPresentationStyle);
    if (covers)
        viewWillDisappear(animated);
    controller->viewWillAppear(animated);
    presentedView->setFrame(window->bounds());
    window->addSubview(presentedView);
    presentedView->layoutIfNeeded();
    controller->viewDidAppear(animated);
    if (covers)
        viewDidDisappear(animated);
    if (completion)
        completion();
}

void ViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion)
{
    if (!m_presented) {
        if (m_presenting)
            m_presenting->dismissViewControllerAnimated(animated, std::move(completion));
        return;
    }
    auto controller = m_presented;
    if (controller->m_presented)
        controller->dismissViewControllerAnimated(false);
    bool covers = coversPresenter(controller->m_modalPresentationStyle);
    controller->viewWillDisappear(animated);
    if (covers)
        viewWillAppear(animated);
    controller->view()->removeFromSuperview();
    m_presented.reset();
    controller->m_presenting = nullptr;
    controller->viewDidDisappear(animated);
    if (covers)
        viewDidAppear(animated);
    if (completion)
        completion();
}

}
