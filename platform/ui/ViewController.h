// ViewController: owns a screen's root view, loaded on first use, and takes part in appearance
// (will/did appear and disappear) and in presenting other controllers over it.
#pragma once

#include "platform/ui/Coder.h"
#include "platform/ui/View.h"

#include <functional>

namespace ui {

enum class ModalPresentationStyle {
    fullScreen = 0,
    pageSheet = 1,
    formSheet = 2,
    overFullScreen = 5,
    automatic = -2
};

class ViewController : public Responder {
public:
    // initWithNibName:bundle: with neither.
    ViewController();
    // initWithNibName:bundle:
    ViewController(std::optional<std::string> nibName, std::optional<std::string> bundlePath);
    // initWithCoder:
    explicit ViewController(const Coder& coder);
    ~ViewController() override;
    std::string className() const override { return "ViewController"; }

    const std::optional<std::string>& nibName() const { return m_nibName; }

    // The root view, loaded (loadView, then viewDidLoad) on first use.
    const std::shared_ptr<View>& view();
    bool isViewLoaded() const { return m_view != nullptr; }
    // loadView sets the root view here.
    void setView(std::shared_ptr<View> view);

    virtual void loadView();
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool /*animated*/) { }
    virtual void viewDidAppear(bool /*animated*/) { }
    virtual void viewWillDisappear(bool /*animated*/) { }
    virtual void viewDidDisappear(bool /*animated*/) { }

    // Shows the controller over this one. A full-screen presentation makes this one disappear
    // and, once dismissed, appear again; the other styles leave it in view.
    void presentViewController(std::shared_ptr<ViewController> controller, bool animated,
        std::function<void()> completion = {});
    // Dismisses what this controller presents, or, when it presents nothing, this controller.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    const std::shared_ptr<ViewController>& presentedViewController() const { return m_presented; }
    ViewController* presentingViewController() const { return m_presenting; }
    ModalPresentationStyle modalPresentationStyle() const { return m_modalPresentationStyle; }
    void setModalPresentationStyle(ModalPresentationStyle style)
    {
        m_modalPresentationStyle = style;
    }

    Responder* nextResponder() const override;

private:
    std::optional<std::string> m_nibName;
    std::optional<std::string> m_bundlePath;
    std::shared_ptr<View> m_view;
    std::shared_ptr<ViewController> m_presented;
    ViewController* m_presenting = nullptr;
    ModalPresentationStyle m_modalPresentationStyle = ModalPresentationStyle::automatic;
};

}
