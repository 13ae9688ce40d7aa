// Fuzz target: the body of a page's event as the host decodes it before anything reaches the
// main loop — JSON text, the event's form (checkEvent), the page's version and its viewport —
// and the viewport of a state request, its parameters taken from the same object's text members.
//
// Events are not dispatched here: a live application would change with every run (a delete
// removes a book, a tap opens the reader), so a finding would not replay from its input alone.
#include "platform/host/server/EventDispatch.h"
#include "platform/host/snapshot/Viewport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto event = nlohmann::json::parse(reinterpret_cast<const char*>(data),
        reinterpret_cast<const char*>(data) + size, nullptr, false);
    if (event.is_discarded())
        return 0;
    if (auto failure = host::checkEvent(event)) {
        if (failure->status != 400 || failure->description.empty())
            std::abort();
    } else {
        auto version = event.find("version");
        if (version != event.end() && version->is_number_unsigned())
            (void)version->get<std::uint64_t>();
        (void)host::viewportFromJson(event.value("viewport", nlohmann::json()));
    }
    if (event.is_object()) {
        (void)host::viewportFromParameters(
            [&](const std::string& name) -> std::optional<std::string> {
                auto member = event.find(name);
                if (member == event.end() || !member->is_string())
                    return std::nullopt;
                return member->get<std::string>();
            });
    }
    return 0;
}
