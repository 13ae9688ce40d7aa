// The library table's rows: each shows its book's cover (or "blank"), title and author (and the
// file's name, where another book has the same title and author), and how far it has been read.
#include "app/ViewController.h"

#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/metadata/CoverLoader.h"
#include "frameworks/folioreader/stores/KeptProgress.h"
#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "platform/ui/ScreenChange.h"
#include "screen/RowCovers.h"

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

// "blank" is an immutable resource: read once, shown by every row without a cover.
const std::shared_ptr<ui::Image>& blankCover()
{
    static const std::shared_ptr<ui::Image> blank = ui::Image::named("blank");
    return blank;
}

// The row's picture: the book's cover when it can be had at once; with covers read apart (a
// loader), the blank one meanwhile (or the one read lately), the cover being asked for.
std::shared_ptr<ui::Image> rowPicture(const std::string& path, folioreader::CoverLoader* loader)
{
    if (!loader) {
        auto cover = folioreader::FolioReader::getCoverImage(path);
        return cover ? *cover : nullptr;
    }
    if (auto known = folioreader::FolioReader::getKnownCoverImage(path))
        return *known ? **known : nullptr;
    loader->request(path);
    auto recent = loader->recent(path);
    return recent && *recent ? **recent : nullptr;
}

}

std::unique_ptr<folioreader::CoverLoader> makeRowCoverLoader(ui::MainLoop& loop)
{
    return std::make_unique<folioreader::CoverLoader>(
        loop,
        [](const std::string& path, const folioreader::CoverLoader::Cover& cover) {
            bool changed = false;
            for (auto& screen : libraryScreens())
                changed = screen->showCover(path, cover ? *cover : nullptr) || changed;
            // A page may show the row blank though no screen has it in view any more: it was drawn
            // from rows asked for before others (a jump and the rows asked for ahead of it). So the
            // pages look again for every cover that arrives, not only for a row in view that
            // changed. A book without a cover keeps the blank one its row shows already: nothing to
            // draw again.
            if (changed || (cover && *cover))
                ui::screenChanged();
        },
        [] {
            for (auto& screen : libraryScreens())
                screen->askAgainForCovers();
            ui::screenChanged();
        });
}

bool ViewController::changeRowPictures(const std::function<std::shared_ptr<ui::Image>(
        const std::string& path, const std::shared_ptr<ui::Image>& shown)>& choose)
{
    auto table = tableView();
    bool changed = false;
    for (auto indexPath : table->indexPathsForVisibleRows()) {
        auto index = bookIndexForRow(indexPath.row);
        auto cell = table->cellForRowAtIndexPath(indexPath);
        if (!index || !cell)
            continue;
        auto shown = cell->imageView()->image();
        auto picture = choose(bookPath(bookList()[*index].file), shown);
        if (!picture || picture == shown)
            continue;
        cell->imageView()->setImage(picture);
        changed = true;
    }
    return changed;
}

bool ViewController::showCover(const std::string& path, const std::shared_ptr<ui::Image>& cover)
{
    const auto& picture = cover ? cover : blankCover();
    return changeRowPictures([&](const std::string& rowPath, const std::shared_ptr<ui::Image>&) {
        return rowPath == path ? picture : nullptr;
    });
}

bool ViewController::askAgainForCovers()
{
    auto* loader = m_backgroundWork.covers;
    if (!loader)
        return false;
    // Known or read lately: shown now, and never asked for again (a book whose cover cannot be
    // read keeps the blank one); else asked for, and shown once read.
    return changeRowPictures([&](const std::string& path, const std::shared_ptr<ui::Image>& shown) {
        if (shown != blankCover())
            return std::shared_ptr<ui::Image>();
        if (auto known = folioreader::FolioReader::getKnownCoverImage(path))
            return *known ? **known : nullptr;
        if (auto recent = loader->recent(path))
            return *recent ? **recent : nullptr;
        loader->request(path);
        return std::shared_ptr<ui::Image>();
    });
}

std::shared_ptr<ui::TableViewCell> ViewController::cellForRowAtIndexPath(
    ui::TableView& table, ui::IndexPath indexPath)
{
    auto cell = table.dequeueReusableCellWithIdentifier(reuseIdentifier);
    if (!cell)
        cell = std::make_shared<ui::TableViewCell>(
            ui::TableViewCellStyle::subtitle, reuseIdentifier);

    auto index = bookIndexForRow(indexPath.row);
    bool known = index.has_value();
    // A row the list no longer has (the table asked before it was told) shows nothing of any book.
    const Book none;
    const Book& book = known ? bookList()[*index] : none;

    cell->textLabel()->setText(book.title);
    // Books of one title and author are told apart by their file's name beside the author, or in
    // its place when the book names none.
    std::string detail = book.author;
    if (known && bookList().hasNamesake(*index))
        detail = detail.empty() ? book.file : detail + " · " + book.file;
    // A book begun says how far it has been read, beside its author and in its name; a reused
    // cell says nothing of the book it showed before.
    const std::string places = bookPath(folioreader::readingPlacesName);
    auto progress = known ? m_keptProgress.of(places, book.file) : std::nullopt;
    if (progress) {
        auto words = folioreader::progressWords(*progress);
        auto named = book.title + (detail.empty() ? "" : ", " + detail);
        cell->setAccessibilityLabel(named + ", " + words);
        detail = detail.empty() ? words : detail + " · " + words;
    } else {
        cell->setAccessibilityLabel("");
    }
    cell->detailTextLabel()->setText(detail);
    auto selectedBackground = std::make_shared<ui::View>();
    selectedBackground->setBackgroundColor(selectedRowColor());
    cell->setSelectedBackgroundView(std::move(selectedBackground));
    layOutPicture(*cell);

    auto picture = known ? rowPicture(bookPath(book.file), m_backgroundWork.covers) : nullptr;
    cell->imageView()->setImage(picture ? picture : blankCover());
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
