// TableViewController: a controller whose view is a table, and the table's data source and
// delegate. The table always exists: asking for it loads the view.
#pragma once

#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"

namespace ui {

class TableViewController : public ViewController,
                            public TableViewDataSource,
                            public TableViewDelegate {
public:
    // initWithStyle:
    explicit TableViewController(TableViewStyle style);
    // initWithNibName:bundle:
    TableViewController(std::optional<std::string> nibName, std::optional<std::string> bundlePath);
    // initWithCoder: — the table style comes from the coder's "style", plain when it has none.
    explicit TableViewController(const Coder& coder);
    ~TableViewController() override;
    std::string className() const override { return "TableViewController"; }

    std::shared_ptr<TableView> tableView();

    void loadView() override;
    void viewWillAppear(bool animated) override;

    std::int64_t numberOfRowsInSection(TableView&, std::int64_t /*section*/) override { return 0; }
    std::shared_ptr<TableViewCell> cellForRowAtIndexPath(TableView&, IndexPath) override
    {
        return nullptr;
    }

private:
    TableViewStyle m_style;
    std::shared_ptr<TableView> m_tableView;
};

}
