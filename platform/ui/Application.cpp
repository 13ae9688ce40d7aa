// The shared application object.
#include "platform/ui/Application.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace ui {

namespace {
std::shared_ptr<Application>& shared()
{
    static std::shared_ptr<Application> application;
    return application;
}
}

std::shared_ptr<Application> Application::sharedApplication()
{
    return shared();
}

void Application::setSharedApplication(std::shared_ptr<Application> application)
{
    shared() = std::move(application);
}

std::vector<std::shared_ptr<Window>> Application::windows() const
{
    std::erase_if(m_windows, [](const std::weak_ptr<Window>& window) { return window.expired(); });
    std::vector<std::shared_ptr<Window>> held;
    for (auto& window : m_windows) {
        if (auto shown = window.lock())
            held.push_back(std::move(shown));
    }
    return held;
}

void Application::addWindow(const std::shared_ptr<Window>& window)
{
    for (auto& known : m_windows) {
        if (known.lock() == window)
            return;
    }
    m_windows.push_back(window);
}

bool Application::canOpenURL(const foundation::URL& url) const
{
    constexpr std::array<std::string_view, 5> schemes { "app-settings", "app-documents-folder",
        "http", "https", "mailto" };
    for (auto scheme : schemes) {
        if (url.scheme() == scheme)
            return true;
    }
    return false;
}

void Application::openURL(
    const foundation::URL& url, const OpenURLOptions& options, std::function<void(bool)> completion)
{
    bool accepted = canOpenURL(url);
    if (accepted && m_openURLRequests.size() < 100)
        m_openURLRequests.push_back({ url, options, static_cast<bool>(completion) });
    if (completion)
        completion(accepted);
}

std::vector<foundation::URL> Application::takeOpenURLRequests()
{
    std::vector<foundation::URL> urls;
    for (auto& request : std::exchange(m_openURLRequests, {}))
        urls.push_back(std::move(request.url));
    return urls;
}

bool Application::openURLFromOtherApplication(
    const foundation::URL& url, const OpenURLOptions& options)
{
    if (!m_delegate)
        return false;
    return m_delegate->openURL(*this, url, options);
}

}
