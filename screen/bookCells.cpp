// The library table's rows: each shows its book's cover (or "blank"), title and author (and the
// file's name, where another book has the same title and author).
#include "app/ViewController.h"

#include "frameworks/folioreader/FolioReader.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"

namespace {

const std::string reuseIdentifier = "reuseIdentifier";
constexpr double pictureSide = 36;

// The faint amber of a selected row.
ui::Color selectedRowColor()
{
    return ui::Color::withRGBA(237.0 / 255, 182.0 / 255, 27.0 / 255, 0.1);
}

// The picture's square at the top leading corner of the content's margins, as four constraints
// that replace their equals when the cell is configured again.
void layOutPicture(ui::TableViewCell& cell)
{
    auto& picture = *cell.imageView();
    auto guide = cell.contentView()->layoutMarginsGuide();
    picture.setTranslatesAutoresizingMaskIntoConstraints(false);
    picture.topAnchor().constraintEqualToAnchor(guide.topAnchor())->setActive(true);
    picture.leadingAnchor().constraintEqualToAnchor(guide.leadingAnchor())->setActive(true);
    picture.heightAnchor().constraintEqualToConstant(pictureSide)->setActive(true);
    picture.widthAnchor().constraintEqualToConstant(pictureSide)->setActive(true);
    picture.setContentMode(ui::ContentMode::scaleAspectFill);
    picture.layer().setCornerRadius(pictureSide / 2);
}

}

std::shared_ptr<ui::TableViewCell> ViewController::cellForRowAtIndexPath(ui::TableView& table, ui::IndexPath indexPath)
{
    auto cell = table.dequeueReusableCellWithIdentifier(reuseIdentifier);
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::subtitle, reuseIdentifier);

    auto index = bookIndexForRow(indexPath.row);
    bool known = index.has_value();
    // A row the list no longer has (the table asked before it was told) shows nothing of any book.
    const Book none;
    const Book& book = known ? bookList()[*index] : none;

    cell->textLabel()->setText(book.title);
    // Books of one title and author are told apart by their file's name beside the author.
    if (known && bookList().hasNamesake(*index))
        cell->detailTextLabel()->setText(book.author + " · " + book.file);
    else
        cell->detailTextLabel()->setText(book.author);
    auto selectedBackground = std::make_shared<ui::View>();
    selectedBackground->setBackgroundColor(selectedRowColor());
    cell->setSelectedBackgroundView(std::move(selectedBackground));
    layOutPicture(*cell);

    std::shared_ptr<ui::Image> picture;
    if (known) {
        if (auto cover = FolioReader::getCoverImage(bookPath(book.file)))
            picture = *cover;
    }
    // "blank" is an immutable resource: read once, shown by every row without a cover.
    static const std::shared_ptr<ui::Image> blank = ui::Image::named("blank");
    cell->imageView()->setImage(picture ? picture : blank);
    return cell;
}

void ViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, ui::IndexPath)
{
    cell.setBackgroundColor(ui::Color::clearColor());
}

bool ViewController::canEditRowAtIndexPath(ui::TableView&, ui::IndexPath)
{
    return true;
}
