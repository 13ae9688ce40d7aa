// TableViewHeaderFooterView: the view a table shows above (or below) a section — a text label
// inside a content view. The table keeps one per section and shows it again on reload.
#pragma once

#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ui {

class TableViewHeaderFooterView : public View {
public:
    explicit TableViewHeaderFooterView(std::optional<std::string> reuseIdentifier = std::nullopt);
    std::string className() const override { return "TableViewHeaderFooterView"; }

    const std::optional<std::string>& reuseIdentifier() const { return m_reuseIdentifier; }
    const std::shared_ptr<View>& contentView() const { return m_contentView; }
    const std::shared_ptr<Label>& textLabel() const { return m_textLabel; }

    void layoutSubviews() override;

private:
    std::optional<std::string> m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
};

}
