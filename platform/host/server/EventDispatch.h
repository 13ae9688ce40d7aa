// EventDispatch: one user action from a page, checked and delivered through the headless driver
// as the screen would deliver it — a row tapped, a row's delete confirmed, a control touched up
// inside (by view id), an index title tapped, the search field's text, the page shown (the screen
// appears). Anything malformed, and anything naming what the screen does not show, is refused
// and changes nothing.
#pragma once

#include "platform/ui/HeadlessDriver.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace host {

struct EventFailure {
    // 400: the event is malformed or of an unknown type; 422: it names a row, control or index
    // title the screen does not have.
    int status;
    std::string description;
};

// Checks the event's form only: the type and the members it needs. Any thread.
std::optional<EventFailure> checkEvent(const nlohmann::json& event);

// Delivers a checked event. Main loop.
std::optional<EventFailure> dispatchEvent(const nlohmann::json& event, ui::HeadlessDriver& driver);

// Whether a tap on a row carries the "label" that row shows now, so that it means the same book
// though the page drew its rows before the last change: the one book a search found stays where it
// was while the last letters are typed. A delete is never taken on a label: two copies of a book
// look alike. Main loop.
bool namedRowStillShows(const nlohmann::json& event);

}
