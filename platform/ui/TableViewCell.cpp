// Cell parts and their placement: the image at the leading margin, the labels after it.
#include "platform/ui/TableViewCell.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double imageToTextSpacing = 16;
constexpr double textLineHeight = 21;
constexpr double detailLineHeight = 15;
constexpr double lineSpacing = 2;
}

TableViewCell::TableViewCell(TableViewCellStyle style, std::optional<std::string> reuseIdentifier)
    : m_style(style)
    , m_reuseIdentifier(std::move(reuseIdentifier))
    , m_contentView(std::make_shared<View>())
    , m_textLabel(std::make_shared<Label>())
    , m_imageView(std::make_shared<ImageView>())
{
    m_contentView->setLayoutMargins({ 10, 16, 10, 16 });
    addSubview(m_contentView);
    m_contentView->addSubview(m_imageView);
    m_contentView->addSubview(m_textLabel);
    if (style != TableViewCellStyle::defaultStyle) {
        m_detailTextLabel = std::make_shared<Label>();
        m_detailTextLabel->setFont(
            Font::systemFontOfSize(style == TableViewCellStyle::subtitle ? 12 : 17));
        if (style == TableViewCellStyle::value1)
            m_detailTextLabel->setTextColor(Color::grayColor());
        m_contentView->addSubview(m_detailTextLabel);
    }
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view)
{
    if (m_selectedBackgroundView && m_selected)
        m_selectedBackgroundView->removeFromSuperview();
    m_selectedBackgroundView = std::move(view);
    if (m_selectedBackgroundView && m_selected)
        insertSubview(m_selectedBackgroundView, 0);
}

void TableViewCell::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    if (!m_selectedBackgroundView)
        return;
    if (selected)
        insertSubview(m_selectedBackgroundView, 0);
    else
        m_selectedBackgroundView->removeFromSuperview();
}

void TableViewCell::prepareForReuse()
{
    setSelected(false);
}

void TableViewCell::layoutSubviews()
{
    Rect cell = bounds();
    m_contentView->setFrame(cell);
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->setFrame(cell);

    // The image view follows its constraints when it has them, else it sits at the leading margin.
    m_contentView->layoutSubviews();
    auto margins = m_contentView->layoutMargins();
    auto image = m_imageView->image();
    if (m_imageView->translatesAutoresizingMaskIntoConstraints()) {
        Size size = image ? image->size() : Size {};
        size.width = std::min(size.width, cell.size.height);
        size.height = std::min(size.height, cell.size.height);
        m_imageView->setFrame(
            makeRect(margins.left, (cell.size.height - size.height) / 2, size.width, size.height));
    }

    double textX = image ? m_imageView->frame().maxX() + imageToTextSpacing : margins.left;
    double textWidth = std::max(0.0, cell.size.width - textX - margins.right);
    double height = cell.size.height;
    switch (m_style) {
    case TableViewCellStyle::subtitle: {
        double top = (height - textLineHeight - lineSpacing - detailLineHeight) / 2;
        m_textLabel->setFrame(makeRect(textX, top, textWidth, textLineHeight));
        m_detailTextLabel->setFrame(
            makeRect(textX, top + textLineHeight + lineSpacing, textWidth, detailLineHeight));
        break;
    }
    case TableViewCellStyle::value1:
    case TableViewCellStyle::value2: {
        double half = textWidth / 2;
        m_textLabel->setFrame(makeRect(textX, (height - textLineHeight) / 2, half, textLineHeight));
        m_detailTextLabel->setFrame(
            makeRect(textX + half, (height - textLineHeight) / 2, half, textLineHeight));
        m_detailTextLabel->setTextAlignment(TextAlignment::right);
        break;
    }
    case TableViewCellStyle::defaultStyle:
        m_textLabel->setFrame(
            makeRect(textX, (height - textLineHeight) / 2, textWidth, textLineHeight));
        break;
    }
}

}
