// The header's content view fills it; the label spans it inside the side margins.
#include "platform/ui/TableViewHeaderFooterView.h"

#include <algorithm>

namespace ui {

TableViewHeaderFooterView::TableViewHeaderFooterView(std::optional<std::string> reuseIdentifier)
    : m_reuseIdentifier(std::move(reuseIdentifier))
    , m_contentView(std::make_shared<View>())
    , m_textLabel(std::make_shared<Label>())
{
    m_contentView->setLayoutMargins({ 0, 16, 0, 16 });
    addSubview(m_contentView);
    m_contentView->addSubview(m_textLabel);
}

void TableViewHeaderFooterView::layoutSubviews()
{
    m_contentView->setFrame(bounds());
    auto margins = m_contentView->layoutMargins();
    m_textLabel->setFrame(makeRect(margins.left, 0,
        std::max(0.0, bounds().size.width - margins.left - margins.right), bounds().size.height));
    View::layoutSubviews();
}

}
