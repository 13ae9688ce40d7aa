// HeadlessDriver: delivers the user's events to the running application on the main loop, the
// way a screen would: tap a row, swipe and confirm a row's delete, touch up inside a control
// named by its view id, tap an index title, show the screen, scroll, resize. Tests drive the
// application through it; the browser host is one more caller. Each event answers an error when
// it names something the screen does not show, and then changes nothing.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/MainLoop.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"

namespace ui {

class HeadlessDriver {
public:
    explicit HeadlessDriver(MainLoop& loop = MainLoop::main())
        : m_loop(loop)
    {
    }

    foundation::Result<void> tapRow(std::int64_t row, std::int64_t section = 0);
    foundation::Result<void> deleteRow(std::int64_t row, std::int64_t section = 0);
    foundation::Result<void> touchUpInside(ViewId viewId);
    foundation::Result<void> tapIndexTitle(const std::string& title);
    // The user typed into, or cleared, the table's search field: its whole text now.
    foundation::Result<void> search(const std::string& text);
    // The user chose a passage the search field found in the named item's text.
    foundation::Result<void> selectFoundPassage(const std::string& item);
    // The screen in front is about to be shown again (and then is).
    foundation::Result<void> showScreen(bool animated = false);
    // The rows the viewer shows, counted across sections.
    foundation::Result<void> scrollTo(std::int64_t firstRow, std::int64_t rowCount);
    // The user chose these files in the document picker in front, or cancelled it.
    foundation::Result<void> pickDocuments(const std::vector<std::string>& paths);
    foundation::Result<void> cancelDocumentPicker();
    // A tap on the button at that position of the alert in front.
    foundation::Result<void> tapAlertAction(std::size_t index);
    // The window, and with it the screen and its table, takes the size in points.
    foundation::Result<void> resize(double width, double height);

    // The application's key window, and the table of the screen in front. Main thread only.
    static std::shared_ptr<Window> window();
    static std::shared_ptr<TableView> table();

private:
    template <typename Event> foundation::Result<void> deliver(Event event);
    // An event for the table of the screen in front; an error when that screen shows none.
    template <typename Event> foundation::Result<void> deliverToTable(Event event);

    MainLoop& m_loop;
};

}
