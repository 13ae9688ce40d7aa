// The about alert: the application's name and version, a short rendered description, one button.
#include "app/AboutAlert.h"
#include "app/ViewController.h"

#include "platform/html/HTMLReader.h"

const std::string& aboutTitle()
{
    static const std::string title = "Pagewyn 1.0.3";
    return title;
}

std::string aboutMessageHTML()
{
    return "<center><br><font size=+2 color=black face=Arial>Pagewyn is an e-book reader with "
           "commentary from AI</font>"
           "<font size=+1 face=Arial><br><br>"
           "&copy; 2026 The Pagewyn developers"
           "<br>Pagewyn is made possible by the FolioReader project<br></font>";
}

std::shared_ptr<ui::AlertController> makeAboutAlert(const std::string& messageHTML)
{
    auto alert = ui::AlertController::alertControllerWithTitle(
        aboutTitle(), messageHTML, ui::AlertControllerStyle::alert);

    if (auto container = alert->contentContainer()) {
        auto grey = ui::Color::lightGrayColor();
        grey.alpha = 0.6;
        container->setBackgroundColor(grey);
    }
    alert->view()->setTintColor(ui::Color::blackColor());

    alert->setValue(ui::AttributedString(aboutTitle(),
                        { ui::Font::boldSystemFontOfSize(17), ui::Color::blackColor() }),
        "attributedTitle");
    if (auto rendered = html::attributedStringFromHTML(messageHTML))
        alert->setValue(std::move(*rendered), "attributedMessage");

    alert->addAction(ui::AlertAction::actionWithTitle(
        "ok", ui::AlertActionStyle::defaultStyle, [](ui::AlertAction&) {}));
    return alert;
}

void ViewController::about()
{
    presentViewController(makeAboutAlert(aboutMessageHTML()), true);
}
