// decorateHeader: the library table's header bar — its title's style, the slate tint, and the
// four icon buttons "info", "open", "sort" and "settings" wired to the screen's actions.
#pragma once

#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

#include <memory>

// Styles the header view and places its four buttons from the header's current frame. A header
// shown again keeps its buttons: they are found again (the first four buttons among its
// subviews), re-imaged, re-placed and re-bound, never added twice. A view that is not
// a header-footer view is left alone. Without a target the actions go up the responder chain.
void decorateHeader(ui::View& view, const std::shared_ptr<ui::Responder>& target);
