// The window's snapshot: the root screen, then each screen presented over it, front last.
#include "platform/host/snapshot/Snapshot.h"

#include "platform/host/snapshot/AlertSnapshot.h"
#include "platform/host/snapshot/PickerSnapshot.h"
#include "platform/host/snapshot/ReaderSnapshot.h"
#include "platform/host/snapshot/TableSnapshot.h"
#include "platform/host/snapshot/ViewJson.h"
#include "platform/ui/Application.h"
#include "platform/ui/TableViewController.h"

namespace host {

namespace {

const char* presentationStyleName(ui::ModalPresentationStyle style)
{
    switch (style) {
    case ui::ModalPresentationStyle::fullScreen:
        return "fullScreen";
    case ui::ModalPresentationStyle::pageSheet:
        return "pageSheet";
    case ui::ModalPresentationStyle::formSheet:
        return "formSheet";
    case ui::ModalPresentationStyle::overFullScreen:
        return "overFullScreen";
    case ui::ModalPresentationStyle::automatic:
        return "automatic";
    }
    return "automatic";
}

nlohmann::json screenJson(ui::ViewController& controller, ImageRegistry& images)
{
    nlohmann::json json = { { "controller", controller.className() } };
    if (auto* tableController = dynamic_cast<ui::TableViewController*>(&controller))
        json["table"] = tableSnapshot(*tableController->tableView(), images);
    else
        json["view"] = viewJson(*controller.view(), images);
    if (auto* reader = dynamic_cast<ui::ReaderScreen*>(&controller))
        json["reader"] = readerSnapshot(*reader, images);
    return json;
}

}

nlohmann::json windowSnapshot(ui::Window& window, ImageRegistry& images)
{
    auto size = window.frame().size;
    nlohmann::json json = { { "window", { { "width", size.width }, { "height", size.height } } } };
    auto root = window.rootViewController();
    json["screen"] = root ? screenJson(*root, images) : nlohmann::json(nullptr);

    auto presented = nlohmann::json::array();
    for (auto controller = root ? root->presentedViewController() : nullptr; controller;
         controller = controller->presentedViewController()) {
        nlohmann::json screen;
        if (auto* alert = dynamic_cast<ui::AlertController*>(controller.get())) {
            screen = alertSnapshot(*alert);
        } else if (auto* picker
            = dynamic_cast<ui::DocumentPickerViewController*>(controller.get())) {
            screen = pickerSnapshot(*picker);
        } else {
            screen = screenJson(*controller, images);
            screen["kind"] = "screen";
        }
        screen["style"] = presentationStyleName(controller->modalPresentationStyle());
        presented.push_back(std::move(screen));
    }
    json["presented"] = std::move(presented);

    // Each request is handed out once, to one page: a page's event and the snapshot that answers
    // it run as one task on the main loop, so what a tap asked to open goes back to the page that
    // was tapped, never to another tab that happens to look at the state.
    auto urls = nlohmann::json::array();
    if (auto application = ui::Application::sharedApplication()) {
        for (auto& url : application->takeOpenURLRequests())
            urls.push_back(url.absoluteString());
    }
    json["openURLs"] = std::move(urls);
    return json;
}

}
