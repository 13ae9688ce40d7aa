// The state, event and change-stream routes: each asks the state service, which runs what it
// needs of the application on the main loop.
#include "platform/host/routes/StateRoutes.h"

#include "platform/host/server/EventStream.h"
#include "platform/host/server/JsonResponse.h"
#include "platform/host/server/StateService.h"
#include "platform/host/server/WindowName.h"
#include "platform/host/snapshot/Viewport.h"

#include <chrono>
#include <httplib.h>
#include <memory>

namespace host {

namespace {

constexpr auto keepAliveInterval = std::chrono::seconds(15);

}

void installStateRoutes(httplib::Server& server, StateService& state, EventStream& stream)
{
    server.Get("/state", [&state](const httplib::Request& request, httplib::Response& response) {
        auto viewport
            = viewportFromParameters([&](const std::string& name) -> std::optional<std::string> {
                  if (!request.has_param(name.c_str()))
                      return std::nullopt;
                  return request.get_param_value(name.c_str());
              });
        if (!viewport) {
            sendJson(response, 400, { { "error", viewport.error().description() } });
            return;
        }
        auto reply = state.state(*viewport, windowNamedBy(request));
        sendJson(response, reply.status, reply.body);
    });

    server.Post("/event", [&state](const httplib::Request& request, httplib::Response& response) {
        if (!sentAsJson(request, response, "an event"))
            return;
        auto reply = state.event(request.body, windowNamedBy(request));
        sendJson(response, reply.status, reply.body);
    });

    server.Get(
        "/events", [&state, &stream](const httplib::Request& request, httplib::Response& response) {
            if (!stream.open()) {
                response.set_header("Retry-After", "5");
                sendJson(response, 503,
                    { { "error", "too many open pages; this one looks again now and then" } });
                return;
            }
            struct Progress {
                bool greeted = false;
                EventStream::Told told;
            };
            auto progress = std::make_shared<Progress>();
            // The tab's window is kept while its stream is open.
            auto window = windowNamedBy(request).value_or("");
            state.windows().streamOpened(window);
            response.set_header("X-Accel-Buffering", "no");
            response.set_chunked_content_provider(
                "text/event-stream",
                [&state, &stream, progress](std::size_t, httplib::DataSink& sink) {
                    if (!progress->greeted) {
                        // The first message tells the page where the state stands now.
                        progress->greeted = true;
                        progress->told = stream.startingAt(state.version());
                        auto hello = EventStream::changedMessage(progress->told.version);
                        return sink.write(hello.data(), hello.size());
                    }
                    auto piece = stream.next(progress->told, keepAliveInterval);
                    if (!piece || !sink.is_writable()) {
                        sink.done();
                        return true;
                    }
                    return sink.write(piece->data(), piece->size());
                },
                [&state, &stream, window](bool) {
                    state.windows().streamEnded(window);
                    stream.release();
                });
        });
}

}
