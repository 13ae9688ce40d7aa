// The table as the controller's view, wired to the controller.
#include "platform/ui/TableViewController.h"

namespace ui {

namespace {
TableViewStyle styleFromCoder(const Coder& coder)
{
    auto value = coder.decodeInteger("style").value_or(0);
    if (value == 1)
        return TableViewStyle::grouped;
    if (value == 2)
        return TableViewStyle::insetGrouped;
    return TableViewStyle::plain;
}
}

TableViewController::TableViewController(TableViewStyle style)
    : m_style(style)
{
}

TableViewController::TableViewController(
    std::optional<std::string> nibName, std::optional<std::string> bundlePath)
    : ViewController(std::move(nibName), std::move(bundlePath))
    , m_style(TableViewStyle::plain)
{
}

TableViewController::TableViewController(const Coder& coder)
    : ViewController(coder)
    , m_style(styleFromCoder(coder))
{
}

TableViewController::~TableViewController()
{
    if (m_tableView) {
        m_tableView->setDataSource(nullptr);
        m_tableView->setDelegate(nullptr);
    }
}

void TableViewController::loadView()
{
    m_tableView = std::make_shared<TableView>(m_style);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    setView(m_tableView);
}

std::shared_ptr<TableView> TableViewController::tableView()
{
    view();
    return m_tableView;
}

void TableViewController::viewWillAppear(bool animated)
{
    ViewController::viewWillAppear(animated);
    // The selected row is deselected as the user comes back to the screen.
    if (!m_tableView)
        return;
    if (auto selected = m_tableView->indexPathForSelectedRow())
        m_tableView->deselectRowAtIndexPath(*selected, animated);
}

}
