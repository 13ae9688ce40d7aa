// What the library table shows behind its rows when it has none: for an empty library, how to add
// a book and where the library folder is; for a search that finds nothing, that no book matches.
// The views are made once and kept, so a page keeps the keyboard on the folder button.
#include "app/ViewController.h"

#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double margin = 24;
constexpr double buttonHeight = 44;

std::shared_ptr<ui::Label> makeLabel(
    const std::string& text, std::shared_ptr<ui::Font> font, ui::Rect frame, int lines)
{
    auto label = std::make_shared<ui::Label>();
    label->setText(text);
    label->setFont(std::move(font));
    label->setTextColor(ui::Color::darkGrayColor());
    label->setTextAlignment(ui::TextAlignment::center);
    label->setNumberOfLines(lines);
    label->setFrame(frame);
    return label;
}

// The height of text of that point size wrapped at width: a generous estimate from its length,
// since the browser, not the program, breaks the lines (a path may break anywhere).
double textHeight(const std::string& text, double size, double width)
{
    double characters = 0;
    for (unsigned char byte : text)
        characters += (byte & 0xC0) != 0x80;
    double perLine = std::max(1.0, std::floor(width / (size * 0.55)));
    return std::ceil(characters / perLine) * std::ceil(size * 1.4);
}

}

std::shared_ptr<ui::View> ViewController::emptyLibraryView(double width)
{
    // A new width lays the views out anew.
    if (m_emptyLibraryView && m_emptyLibraryView->frame().size.width != width)
        m_emptyLibraryView = nullptr;
    if (!m_emptyLibraryView) {
        double inner = std::max(0.0, width - 2 * margin);
        auto view = std::make_shared<ui::View>();
        view->setAccessibilityLabel("The library has no books yet");
        // Each part stands below the one before, as tall as its text needs at this width, so a
        // narrow window wraps the lines rather than cutting them.
        double top = 32;
        auto place = [&](const std::string& text, std::shared_ptr<ui::Font> font, double size,
                         double gap) {
            double height = textHeight(text, size, inner);
            view->addSubview(
                makeLabel(text, std::move(font), ui::makeRect(margin, top, inner, height), 0));
            top += height + gap;
        };
        place("Your library has no books yet.", ui::Font::boldSystemFontOfSize(17), 17, 8);
        place("To add one, drop EPUB files on this page, or use the open button "
              "(the arrow into a tray, second from the left at the top).",
            ui::Font::systemFontOfSize(15), 15, 12);
        place("Library folder: " + documentsFolder().path(), ui::Font::systemFontOfSize(13), 13, 8);
        // Filled in the application's amber and rounded, so it reads as a control to press, not
        // as one more line of text; a finger's height.
        auto button = ui::Button::buttonWithType(ui::ButtonType::system);
        button->setTitle("Open the library folder", ui::ControlStateFlag::normal);
        double buttonWidth = std::min(inner, 260.0);
        button->setFrame(ui::makeRect((width - buttonWidth) / 2, top, buttonWidth, buttonHeight));
        button->setBackgroundColor(ui::Color::withRGBA(237.0 / 255, 182.0 / 255, 27.0 / 255, 1));
        button->layer().setCornerRadius(10);
        button->addTarget(shared_from_this(), "openLibraryFolder", ui::ControlEvent::touchUpInside);
        view->addSubview(button);
        view->setFrame(ui::makeRect(0, 0, width, top + buttonHeight + 24));
        m_emptyLibraryView = std::move(view);
    }
    return m_emptyLibraryView;
}

std::shared_ptr<ui::View> ViewController::noMatchView(double width)
{
    if (m_noMatchView && m_noMatchView->frame().size.width != width)
        m_noMatchView = nullptr;
    if (!m_noMatchView) {
        auto view = std::make_shared<ui::View>();
        view->addSubview(makeLabel("No books match", ui::Font::systemFontOfSize(17),
            ui::makeRect(margin, 32, std::max(0.0, width - 2 * margin), 24), 1));
        view->setFrame(ui::makeRect(0, 0, width, 80));
        m_noMatchView = std::move(view);
    }
    return m_noMatchView;
}

void ViewController::showTableBackground(ui::TableView& table, std::size_t rows)
{
    double width = table.frame().size.width;
    std::shared_ptr<ui::View> shown;
    if (bookList().empty())
        shown = emptyLibraryView(width);
    else if (rows == 0)
        shown = noMatchView(width);
    table.setBackgroundView(std::move(shown));
}

void ViewController::openLibraryFolder()
{
    auto url = foundation::URL::withString(ui::Application::openDocumentsFolderURLString);
    if (auto application = ui::Application::sharedApplication(); url && application)
        application->openURL(*url, {});
}
