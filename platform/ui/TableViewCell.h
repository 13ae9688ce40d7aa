// TableViewCell: one row of a table — text and detail labels, an image view, a content view with
// layout margins, a selected-background view shown while the row is selected, and the reuse
// identifier under which the table keeps it for another row.
#pragma once

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ui {

enum class TableViewCellStyle { defaultStyle = 0, value1 = 1, value2 = 2, subtitle = 3 };
enum class TableViewCellEditingStyle { none = 0, deleteStyle = 1, insert = 2 };

class TableViewCell : public View {
public:
    TableViewCell(TableViewCellStyle style, std::optional<std::string> reuseIdentifier);
    std::string className() const override { return "TableViewCell"; }

    TableViewCellStyle style() const { return m_style; }
    const std::optional<std::string>& reuseIdentifier() const { return m_reuseIdentifier; }

    const std::shared_ptr<View>& contentView() const { return m_contentView; }
    const std::shared_ptr<Label>& textLabel() const { return m_textLabel; }
    // Nothing for the default style, which has no detail text.
    const std::shared_ptr<Label>& detailTextLabel() const { return m_detailTextLabel; }
    const std::shared_ptr<ImageView>& imageView() const { return m_imageView; }

    // Shown behind the content while the row is selected.
    const std::shared_ptr<View>& selectedBackgroundView() const { return m_selectedBackgroundView; }
    void setSelectedBackgroundView(std::shared_ptr<View> view);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // Called by the table before it hands the cell out again: clears the selection. The content
    // stays until the data source sets it anew.
    virtual void prepareForReuse();

    void layoutSubviews() override;

private:
    TableViewCellStyle m_style;
    std::optional<std::string> m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
    std::shared_ptr<Label> m_detailTextLabel;
    std::shared_ptr<ImageView> m_imageView;
    std::shared_ptr<View> m_selectedBackgroundView;
    bool m_selected = false;
};

}
