// The events a page can send, each with the members it needs.
#include "platform/host/server/EventDispatch.h"

#include "platform/host/snapshot/TableSnapshot.h"

#include <array>
#include <string_view>

namespace host {

namespace {

constexpr std::size_t longestIndexTitle = 64;

struct EventType {
    std::string_view name;
    std::array<std::string_view, 2> integers; // members that must be whole numbers
};

constexpr std::array<EventType, 9> eventTypes { {
    { "tapRow", { "row", "section" } },
    { "deleteRow", { "row", "section" } },
    { "touchUpInside", { "view", "" } },
    { "tapIndexTitle", { "", "" } },
    { "alertAction", { "index", "" } },
    { "cancelPicker", { "", "" } },
    { "search", { "", "" } },
    { "appear", { "", "" } },
    { "selectFoundPassage", { "", "" } },
} };

const EventType* typeOf(const nlohmann::json& event)
{
    auto type = event.find("type");
    if (type == event.end() || !type->is_string())
        return nullptr;
    for (auto& known : eventTypes) {
        if (known.name == type->get_ref<const std::string&>())
            return &known;
    }
    return nullptr;
}

std::int64_t integer(const nlohmann::json& event, const char* name, std::int64_t fallback = 0)
{
    auto member = event.find(name);
    return member == event.end() ? fallback : member->get<std::int64_t>();
}

EventFailure refused(const foundation::Error& error)
{
    return { 422, error.description() };
}

}

std::optional<EventFailure> checkEvent(const nlohmann::json& event)
{
    if (!event.is_object())
        return EventFailure { 400, "an event is a JSON object" };
    auto* type = typeOf(event);
    if (!type)
        return EventFailure { 400,
            "unknown event type; known: tapRow, deleteRow, touchUpInside, tapIndexTitle, "
            "alertAction, cancelPicker, search, appear, selectFoundPassage" };
    for (auto name : type->integers) {
        if (name.empty())
            continue;
        auto member = event.find(std::string(name));
        bool optional = name == "section";
        if (member == event.end() && optional)
            continue;
        if (member == event.end() || !member->is_number_integer()
            || member->get<std::int64_t>() < 0)
            return EventFailure { 400,
                "\"" + std::string(name) + "\" must be a whole number, at least 0" };
    }
    if (type->name == "tapIndexTitle") {
        auto title = event.find("title");
        if (title == event.end() || !title->is_string()
            || title->get_ref<const std::string&>().size() > longestIndexTitle)
            return EventFailure { 400, "\"title\" must be the text of an index title" };
    }
    if (type->name == "search") {
        auto text = event.find("text");
        if (text == event.end() || !text->is_string())
            return EventFailure { 400, "\"text\" must be the search field's text" };
    }
    if (type->name == "selectFoundPassage") {
        auto item = event.find("item");
        if (item == event.end() || !item->is_string())
            return EventFailure { 400, "\"item\" must be the name of the passage's item" };
    }
    return std::nullopt;
}

std::optional<EventFailure> dispatchEvent(const nlohmann::json& event, ui::HeadlessDriver& driver)
{
    if (auto failure = checkEvent(event))
        return failure;
    const std::string& type = event["type"].get_ref<const std::string&>();
    foundation::Result<void> delivered;
    if (type == "tapRow")
        delivered = driver.tapRow(integer(event, "row"), integer(event, "section"));
    else if (type == "deleteRow")
        delivered = driver.deleteRow(integer(event, "row"), integer(event, "section"));
    else if (type == "touchUpInside")
        delivered = driver.touchUpInside(static_cast<ui::ViewId>(integer(event, "view")));
    else if (type == "tapIndexTitle")
        delivered = driver.tapIndexTitle(event["title"].get<std::string>());
    else if (type == "alertAction")
        delivered = driver.tapAlertAction(static_cast<std::size_t>(integer(event, "index")));
    else if (type == "cancelPicker")
        delivered = driver.cancelDocumentPicker();
    else if (type == "search")
        delivered = driver.search(event["text"].get<std::string>());
    else if (type == "appear")
        delivered = driver.showScreen(true);
    else if (type == "selectFoundPassage")
        delivered = driver.selectFoundPassage(event["item"].get<std::string>());
    if (!delivered)
        return refused(delivered.error());
    return std::nullopt;
}

bool namedRowStillShows(const nlohmann::json& event)
{
    auto type = event.value("type", "");
    auto label = event.find("label");
    if (type != "tapRow" || label == event.end() || !label->is_string())
        return false;
    auto table = ui::HeadlessDriver::table();
    auto cell = table ? table->cellForRowAtIndexPath(
                    ui::IndexPath::forRow(integer(event, "row"), integer(event, "section")))
                      : nullptr;
    return cell && rowLabel(*cell) == label->get<std::string>();
}

}
