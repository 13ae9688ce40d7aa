// Application: the one application object — its delegate, its key window, and the URLs it is
// asked to open outside itself (the settings page), which whoever draws carries out.
#pragma once

#include "platform/ui/ApplicationDelegate.h"
#include "platform/ui/Responder.h"

#include <functional>
#include <utility>
#include <vector>

namespace ui {

class Window;

class Application : public Responder {
public:
    // The running application; nothing before start-up and after it ended.
    static std::shared_ptr<Application> sharedApplication();
    // Start-up sets it; a launcher or a test that ends the application clears it.
    static void setSharedApplication(std::shared_ptr<Application> application);

    std::string className() const override { return "Application"; }

    // The application owns its delegate.
    const std::shared_ptr<ApplicationDelegate>& delegate() const { return m_delegate; }
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate)
    {
        m_delegate = std::move(delegate);
    }

    // The window that receives the user's events: the one shown last, or the one acted in last
    // where each browser has a window of its own.
    std::shared_ptr<Window> keyWindow() const { return m_keyWindow.lock(); }
    void setKeyWindow(const std::shared_ptr<Window>& window) { m_keyWindow = window; }
    // The visible windows still held by someone, oldest first: the launch's, then one per
    // browser that shows the application.
    std::vector<std::shared_ptr<Window>> windows() const;
    // A window made visible joins the list; it leaves once nobody holds it.
    void addWindow(const std::shared_ptr<Window>& window);

    // The text of the URL that opens this application's page of the system's settings.
    static constexpr const char* openSettingsURLString = "app-settings:";
    // Opens the application's documents folder in the desktop's file manager.
    static constexpr const char* openDocumentsFolderURLString = "app-documents-folder:";

    struct OpenURLRequest {
        foundation::URL url;
        OpenURLOptions options;
        bool hasCompletion = false;
    };

    // Only URLs with a scheme outside the program: app-settings:, http:, https:, mailto:.
    bool canOpenURL(const foundation::URL& url) const;
    // Asks for the URL to be opened outside the program; the completion learns whether it can be.
    void openURL(const foundation::URL& url, const OpenURLOptions& options,
        std::function<void(bool)> completion = {});
    // The URLs asked for since the last call, for whoever opens them.
    std::vector<foundation::URL> takeOpenURLRequests();
    // The requests not yet taken, with the options and whether a completion came with them.
    const std::vector<OpenURLRequest>& pendingOpenURLRequests() const { return m_openURLRequests; }

    // A file handed over by another program: the delegate's openURL decides.
    bool openURLFromOtherApplication(
        const foundation::URL& url, const OpenURLOptions& options = {});

private:
    std::shared_ptr<ApplicationDelegate> m_delegate;
    std::weak_ptr<Window> m_keyWindow;
    mutable std::vector<std::weak_ptr<Window>> m_windows;
    std::vector<OpenURLRequest> m_openURLRequests;
};

}
