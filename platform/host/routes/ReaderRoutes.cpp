// The reader's routes: the screen is looked up by its session on the main loop, which also opens
// the file; the worker thread then streams the open file, so a large picture never holds up the
// application.
#include "platform/host/routes/ReaderRoutes.h"

#include "platform/foundation/FileDescriptor.h"
#include "platform/host/server/Attachment.h"
#include "platform/host/server/JsonResponse.h"
#include "platform/ui/Application.h"
#include "platform/ui/ReaderScreen.h"
#include "platform/ui/Window.h"

#include <cerrno>
#include <functional>
#include <httplib.h>
#include <optional>

namespace host {

namespace {

constexpr std::size_t chunkSize = 64 * 1024;

// The screen, in any window, whose session has that name, or nothing. Main loop.
std::shared_ptr<ui::ReaderScreen> readerScreenWithSession(const std::string& session)
{
    auto application = ui::Application::sharedApplication();
    if (!application)
        return nullptr;
    for (auto& window : application->windows()) {
        for (auto controller = window->rootViewController(); controller;
             controller = controller->presentedViewController()) {
            auto screen = std::dynamic_pointer_cast<ui::ReaderScreen>(controller);
            if (screen && screen->readerSession() == session)
                return screen;
        }
    }
    return nullptr;
}

using Refuse = void (*)(httplib::Response&, int status, const std::string& why);

void refuseAsJson(httplib::Response& response, int status, const std::string& why)
{
    sendJson(response, status, { { "error", why } });
}

// A refused file is shown in the reader's frame: a line of text a person can read.
void refuseAsText(httplib::Response& response, int status, const std::string& why)
{
    response.status = status;
    response.set_content("Not found: " + why + "\n", "text/plain; charset=utf-8");
}

// What ask answers of the screen of the session, asked on the main loop; or nothing, the page
// having been answered: 503 when the main loop cannot answer (the application is stopping: the
// book may well be open, so the page is told to try later rather than that nothing is there), 404
// when no book is open under that name, refusedStatus with the screen's reason when it refused.
template <class Value>
std::optional<Value> askReaderScreen(ui::MainLoop& loop, const std::string& session,
    httplib::Response& response,
    const std::function<foundation::Result<Value>(ui::ReaderScreen&)>& ask, int refusedStatus = 422,
    Refuse refuse = refuseAsJson)
{
    auto answer = loop.performAndWait([&]() -> std::optional<foundation::Result<Value>> {
        auto screen = readerScreenWithSession(session);
        if (!screen)
            return std::nullopt;
        return ask(*screen);
    });
    if (!answer) {
        sendJson(response, 503, { { "error", answer.error().description() } });
        return std::nullopt;
    }
    if (!*answer) {
        refuse(response, 404, "no book is open under this name");
        return std::nullopt;
    }
    if (!**answer) {
        refuse(response, refusedStatus, (**answer).error().description());
        return std::nullopt;
    }
    return std::move((**answer).value());
}

void serveFile(ui::MainLoop& loop, const httplib::Request& request, httplib::Response& response)
{
    // Every answer is shown in the reader's frame, a refusal too: framed by the page, never running
    // the book's scripts.
    response.headers.erase("Content-Security-Policy");
    response.set_header("Content-Security-Policy", readerContentPolicy);
    response.headers.erase("X-Frame-Options");
    response.set_header("X-Frame-Options", "SAMEORIGIN");
    std::string path = request.matches[2];
    auto opened = askReaderScreen<ui::ServedFile>(
        loop, request.matches[1], response,
        [&](ui::ReaderScreen& screen) { return screen.openReaderFile(path); }, 404, refuseAsText);
    if (!opened)
        return;
    auto file = std::make_shared<ui::ServedFile>(std::move(*opened));

    // A page that is not well-formed XHTML is asked for again as HTML, which forgives it.
    std::string mediaType = file->mediaType();
    if (request.get_param_value("as") == "html" && mediaType == "application/xhtml+xml")
        mediaType = "text/html";
    if (mediaType.rfind("text/", 0) == 0 || mediaType == "application/xhtml+xml")
        mediaType += "; charset=utf-8";

    if (file->size() == 0) {
        response.set_content(std::string(), mediaType);
        return;
    }
    response.set_content_provider(static_cast<std::size_t>(file->size()), mediaType,
        [file](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            std::string buffer(std::min(length, chunkSize), '\0');
            if (!foundation::readAllAt(file->descriptor(), buffer.data(), buffer.size(), offset))
                return false;
            file->reveal(buffer.data(), buffer.size(), offset);
            return sink.write(buffer.data(), buffer.size());
        });
}

void performAction(ui::MainLoop& loop, const httplib::Request& request, httplib::Response& response)
{
    if (!sentAsJson(request, response, "an action"))
        return;
    auto action = nlohmann::json::parse(request.body, nullptr, false);
    if (action.is_discarded() || !action.is_object()) {
        sendJson(response, 400, { { "error", "an action is a JSON object" } });
        return;
    }
    auto answer = askReaderScreen<nlohmann::json>(loop, request.matches[1], response,
        [&](ui::ReaderScreen& screen) { return screen.performReaderAction(action); });
    if (!answer)
        return;
    sendJson(response, 200, *answer);
}

// Asked with POST, never GET: a file of the book may have any path, this one included.
void exportHighlights(
    ui::MainLoop& loop, const httplib::Request& request, httplib::Response& response)
{
    auto file = askReaderScreen<ui::ExportedFile>(loop, request.matches[1], response,
        [](ui::ReaderScreen& screen) { return screen.exportReaderHighlights(); });
    if (file)
        sendExportedFile(response, *file);
}

// The search runs on this worker thread and streams its matches as it finds them, so the main loop
// and the other routes never wait for it; the page stops it by closing the request.
void search(ui::MainLoop& loop, const httplib::Request& request, httplib::Response& response)
{
    if (!sentAsJson(request, response, "a search"))
        return;
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("query") || !body["query"].is_string()) {
        sendJson(response, 400, { { "error", "a search is {\"query\": text}" } });
        return;
    }
    std::string query = body["query"];
    auto started = askReaderScreen<ui::ReaderScreen::SearchJob>(loop, request.matches[1], response,
        [&](ui::ReaderScreen& screen) { return screen.startReaderSearch(query); });
    if (!started)
        return;
    auto job = std::make_shared<ui::ReaderScreen::SearchJob>(std::move(*started));
    response.set_header("X-Accel-Buffering", "no");
    response.set_chunked_content_provider(
        "application/x-ndjson; charset=utf-8", [job](std::size_t, httplib::DataSink& sink) {
            auto write = [&sink](const nlohmann::json& line) {
                auto text = jsonText(line) + "\n";
                return sink.is_writable() && sink.write(text.data(), text.size());
            };
            auto summary = (*job)(write);
            write(summary);
            sink.done();
            return true;
        });
}

}

void installReaderRoutes(httplib::Server& server, ui::MainLoop& loop)
{
    server.Post(R"(/reader/([0-9a-f]{32})/action)",
        [&loop](const httplib::Request& request, httplib::Response& response) {
            performAction(loop, request, response);
        });
    server.Post(R"(/reader/([0-9a-f]{32})/search)",
        [&loop](const httplib::Request& request, httplib::Response& response) {
            search(loop, request, response);
        });
    server.Post(R"(/reader/([0-9a-f]{32})/export-highlights)",
        [&loop](const httplib::Request& request, httplib::Response& response) {
            exportHighlights(loop, request, response);
        });
    server.Get(R"(/reader/([0-9a-f]{32})/(.+))",
        [&loop](const httplib::Request& request, httplib::Response& response) {
            serveFile(loop, request, response);
        });
}

}
