// The about alert's content, built from constants by a plain function the action presents.
#pragma once

#include "platform/ui/AlertController.h"

#include <memory>
#include <string>

// "Pagewyn 1.0.3".
const std::string& aboutTitle();
// The HTML fragment of the message: the description, the copyright line and the credit.
std::string aboutMessageHTML();
// A new alert with the styled title, the message rendered from the fragment (or the fragment's
// text when it cannot be read as HTML), the light-grey panel and one "ok" button.
std::shared_ptr<ui::AlertController> makeAboutAlert(const std::string& messageHTML);
