// The user's events, each run as one task on the main loop.
#include "platform/ui/HeadlessDriver.h"

#include "platform/ui/AlertController.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/DocumentPickerViewController.h"
#include "platform/ui/TableViewController.h"

#include <cmath>

namespace ui {

namespace {
std::shared_ptr<TableView> findTable(const std::shared_ptr<View>& view)
{
    if (auto table = std::dynamic_pointer_cast<TableView>(view))
        return table;
    for (auto& subview : view->subviews()) {
        if (auto table = findTable(subview))
            return table;
    }
    return nullptr;
}

bool isShown(const View& view)
{
    for (const View* ancestor = &view; ancestor; ancestor = ancestor->superview()) {
        if (ancestor->isHidden() || ancestor->alpha() == 0)
            return false;
    }
    return true;
}

foundation::Error noTable()
{
    return foundation::Error("the screen in front shows no table");
}
}

std::shared_ptr<Window> HeadlessDriver::window()
{
    auto application = Application::sharedApplication();
    return application ? application->keyWindow() : nullptr;
}

std::shared_ptr<TableView> HeadlessDriver::table()
{
    auto keyWindow = window();
    auto top = keyWindow ? keyWindow->topViewController() : nullptr;
    if (!top)
        return nullptr;
    if (auto controller = std::dynamic_pointer_cast<TableViewController>(top))
        return controller->tableView();
    return findTable(top->view());
}

template <typename Event> foundation::Result<void> HeadlessDriver::deliver(Event event)
{
    return TRY(m_loop.performAndWait([&]() -> foundation::Result<void> {
        if (!window())
            return foundation::Error("the application is not running");
        return event();
    }));
}

template <typename Event> foundation::Result<void> HeadlessDriver::deliverToTable(Event event)
{
    return deliver([&]() -> foundation::Result<void> {
        auto shown = table();
        if (!shown)
            return noTable();
        return event(*shown);
    });
}

foundation::Result<void> HeadlessDriver::tapRow(std::int64_t row, std::int64_t section)
{
    return deliverToTable([&](TableView& shown) -> foundation::Result<void> {
        return shown.userSelectRow(IndexPath::forRow(row, section));
    });
}

foundation::Result<void> HeadlessDriver::deleteRow(std::int64_t row, std::int64_t section)
{
    return deliverToTable([&](TableView& shown) -> foundation::Result<void> {
        return shown.userCommitDelete(IndexPath::forRow(row, section));
    });
}

foundation::Result<void> HeadlessDriver::touchUpInside(ViewId viewId)
{
    return deliver([&]() -> foundation::Result<void> {
        View* view = window()->viewWithId(viewId);
        auto* control = dynamic_cast<Control*>(view);
        if (!control)
            return foundation::Error("no control with id " + std::to_string(viewId) + " is shown");
        if (!isShown(*control))
            return foundation::Error(
                "the control with id " + std::to_string(viewId) + " cannot be touched");
        // The action may take the control out of the tree; it stays alive until it is done.
        auto keepAlive = control->shared_from_this();
        control->sendActionsForControlEvents(ControlEvent::touchUpInside);
        return {};
    });
}

foundation::Result<void> HeadlessDriver::tapIndexTitle(const std::string& title)
{
    return deliverToTable([&](TableView& shown) -> foundation::Result<void> {
        return shown.userTapIndexTitle(title);
    });
}

foundation::Result<void> HeadlessDriver::search(const std::string& text)
{
    return deliverToTable(
        [&](TableView& shown) -> foundation::Result<void> { return shown.userSearch(text); });
}

foundation::Result<void> HeadlessDriver::selectFoundPassage(const std::string& item)
{
    return deliverToTable([&](TableView& shown) -> foundation::Result<void> {
        return shown.userSelectFoundPassage(item);
    });
}

foundation::Result<void> HeadlessDriver::showScreen(bool animated)
{
    return deliver([&]() -> foundation::Result<void> {
        auto top = window()->topViewController();
        if (!top)
            return foundation::Error("the window shows no screen");
        top->viewWillAppear(animated);
        top->viewDidAppear(animated);
        return {};
    });
}

foundation::Result<void> HeadlessDriver::scrollTo(std::int64_t firstRow, std::int64_t rowCount)
{
    return deliverToTable([&](TableView& shown) -> foundation::Result<void> {
        if (firstRow < 0 || rowCount < 0)
            return foundation::Error(
                "a visible range starts at a row and holds rows: both at least 0");
        shown.setVisibleRows(firstRow, rowCount);
        return {};
    });
}

foundation::Result<void> HeadlessDriver::resize(double width, double height)
{
    return deliver([&]() -> foundation::Result<void> {
        constexpr double largest = 100000;
        if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0
            || width > largest || height > largest)
            return foundation::Error("a window size is two positive numbers of points");
        window()->setFrame(makeRect(0, 0, width, height));
        return {};
    });
}

}

namespace ui {

foundation::Result<void> HeadlessDriver::tapAlertAction(std::size_t index)
{
    return deliver([&]() -> foundation::Result<void> {
        auto top = window()->topViewController();
        auto alert = std::dynamic_pointer_cast<AlertController>(top);
        if (!alert)
            return foundation::Error("no alert is shown");
        if (!alert->tapActionAtIndex(index))
            return foundation::Error("the alert has no button " + std::to_string(index));
        return {};
    });
}

}

namespace ui {

namespace {
std::shared_ptr<DocumentPickerViewController> shownPicker()
{
    return std::dynamic_pointer_cast<DocumentPickerViewController>(
        HeadlessDriver::window()->topViewController());
}
}

foundation::Result<void> HeadlessDriver::pickDocuments(const std::vector<std::string>& paths)
{
    return deliver([&]() -> foundation::Result<void> {
        auto picker = shownPicker();
        if (!picker)
            return foundation::Error("no document picker is shown");
        return picker->userPickFiles(paths);
    });
}

foundation::Result<void> HeadlessDriver::cancelDocumentPicker()
{
    return deliver([&]() -> foundation::Result<void> {
        auto picker = shownPicker();
        if (!picker)
            return foundation::Error("no document picker is shown");
        picker->userCancel();
        return {};
    });
}

}
