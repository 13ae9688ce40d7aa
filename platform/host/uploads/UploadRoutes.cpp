// Taking a streamed book file and handing it to the application on the main loop.
#include "platform/host/uploads/UploadRoutes.h"

#include "platform/desktop/InstanceFile.h"
#include "platform/desktop/UploadName.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "platform/host/server/JsonResponse.h"
#include "platform/host/server/WindowName.h"
#include "platform/host/snapshot/Viewport.h"
#include "platform/host/uploads/UploadInbox.h"
#include "platform/ui/Application.h"
#include "platform/ui/DocumentPickerViewController.h"
#include "platform/ui/HandedFileOutcome.h"
#include "platform/ui/HeadlessDriver.h"

#include <charconv>
#include <cstdio>
#include <unistd.h>

namespace host {

namespace {

// An answer that comes before the body was read still lets the body be read to its end, so that
// the sender, still sending, sees the answer instead of a broken connection. A picked file is
// read so only when small; a handed-over one always, since the program that hands it over waits
// to tell its user why the book was refused.
constexpr std::uintmax_t discardedAtMost = 1024 * 1024;

enum class Delivery { picker, handoff };

struct Answer {
    int status = 200;
    nlohmann::json body;
};

void send(httplib::Response& response, const Answer& answer)
{
    sendJson(response, answer.status, answer.body);
}

Answer refusal(int status, const std::string& why)
{
    return { status, { { "error", why } } };
}

// The declared length of the body; nothing for a chunked body. An error for a body whose length
// is neither declared nor chunked, since its end could not be told from a broken connection.
foundation::Result<std::optional<std::uintmax_t>> declaredLength(const httplib::Request& request)
{
    if (request.get_header_value("Transfer-Encoding").find("chunked") != std::string::npos)
        return std::optional<std::uintmax_t>();
    if (!request.has_header("Content-Length"))
        return foundation::Error("the upload must say its length");
    auto text = request.get_header_value("Content-Length");
    std::uintmax_t length = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return foundation::Error("the upload's length is not a number");
    return std::optional<std::uintmax_t>(length);
}

// Reads and drops the rest of a refused body when its length is known and within the bound;
// larger bodies, and bodies whose end is not known, are left unread.
void discardBody(
    const httplib::Request& request, const httplib::ContentReader& reader, Delivery delivery)
{
    auto length = declaredLength(request);
    if (!length || !*length || (delivery == Delivery::picker && **length > discardedAtMost))
        return;
    reader([](const char*, std::size_t) { return true; });
}

bool pickerInFront()
{
    auto window = ui::HeadlessDriver::window();
    return window
        && std::dynamic_pointer_cast<ui::DocumentPickerViewController>(window->topViewController());
}

Answer noPicker(StateService& state)
{
    return { 409,
        { { "error", "no document picker is open; nothing was imported" },
            { "state", state.snapshot() } } };
}

std::string documentsFolder()
{
    auto folders = foundation::FileManager().urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    return folders.empty() ? std::string()
                           : desktop::normalizedDocumentsFolder(folders.front().path());
}

class UploadRoute {
public:
    UploadRoute(
        ui::MainLoop& loop, StateService& state, EventStream& stream, const UploadOptions& options)
        : m_loop(loop)
        , m_state(state)
        , m_stream(stream)
        , m_options(options)
    {
    }

    Answer take(
        const httplib::Request& request, const httplib::ContentReader& reader, Delivery delivery)
    {
        auto early = check(request, delivery);
        if (early) {
            discardBody(request, reader, delivery);
            return *early;
        }
        auto name = *desktop::checkedUploadName(request.get_param_value("name"), m_options.kind);
        auto length = *declaredLength(request);
        auto inbox = UploadInbox::open(m_options.inboxFolder);
        if (!inbox) {
            discardBody(request, reader, delivery);
            return refusal(500, "the upload cannot be stored: " + inbox.error().description());
        }
        auto free = m_options.freeSpace ? m_options.freeSpace() : std::nullopt;
        if (!free) {
            discardBody(request, reader, delivery);
            return refusal(
                507, "the free space of the library's disk cannot be read, so nothing is taken");
        }
        std::uintmax_t limit = *free > m_options.reserve ? *free - m_options.reserve : 0;
        auto failure = (*inbox)->receive(name, length, limit,
            [&](const UploadInbox::Receiver& receiver) { return reader(receiver); });
        if (failure) {
            // Refused by its declared length, the body is still unread.
            if (length && *length > limit)
                discardBody(request, reader, delivery);
            return refusal(failure->status, failure->description);
        }
        auto viewport = *viewportFromParameters(parameters(request));
        bool showLibrary = request.get_param_value("show") == "1";
        auto answer = m_loop.performAndWait([&]() -> Answer {
            enterWindow(request, delivery);
            return deliverTelling((*inbox)->file(), name, delivery, viewport, showLibrary);
        });
        if (!answer)
            return refusal(503, answer.error().description());
        return *answer;
    }

private:
    static std::function<std::optional<std::string>(const std::string&)> parameters(
        const httplib::Request& request)
    {
        return [&request](const std::string& name) -> std::optional<std::string> {
            if (!request.has_param(name.c_str()))
                return std::nullopt;
            return request.get_param_value(name.c_str());
        };
    }

    // Main loop. A picked file goes to the picker of the page's window; a handed-over one to the
    // window of the page it was dropped on, and from another program to the window acted in last.
    void enterWindow(const httplib::Request& request, Delivery delivery)
    {
        auto window = windowNamedBy(request);
        if (delivery == Delivery::picker || window)
            m_state.enterWindow(window);
    }

    // Everything that can be refused before a byte of the body is stored.
    std::optional<Answer> check(const httplib::Request& request, Delivery delivery)
    {
        if (!m_state.isReady())
            return refusal(503, "Pagewyn is still starting; try again in a moment");
        if (auto name = desktop::checkedUploadName(request.get_param_value("name"), m_options.kind);
            !name)
            return refusal(400, name.error().description());
        if (auto length = declaredLength(request); !length)
            return refusal(411, length.error().description());
        if (auto viewport = viewportFromParameters(parameters(request)); !viewport)
            return refusal(400, viewport.error().description());
        if (delivery == Delivery::picker) {
            auto shown = m_loop.performAndWait([&]() -> std::optional<Answer> {
                enterWindow(request, delivery);
                if (pickerInFront())
                    return std::nullopt;
                return noPicker(m_state);
            });
            if (!shown)
                return refusal(503, shown.error().description());
            return *shown;
        }
        return std::nullopt;
    }

    // Main loop. Delivers the file and answers how its import ended: 200 when the book is in the
    // library, 422 with the reason when it is not. The reason and the console name the file as
    // its sender knows it, not its private copy in the inbox.
    Answer deliverTelling(const std::string& file, const std::string& name, Delivery delivery,
        const Viewport& viewport, bool showLibrary)
    {
        // The file travels through private copies (the inbox, the picker's own copy): a quoted
        // path that ends in the file's name is written as the name alone.
        auto told = [&](std::string text) {
            const std::string ending = "/" + name + "\"";
            for (auto at = text.find(ending); at != std::string::npos; at = text.find(ending, at)) {
                auto quote = text.rfind('"', at);
                if (quote == std::string::npos)
                    break;
                text.replace(quote + 1, at + 1 - (quote + 1), "");
                at = quote + 1 + name.size() + 1;
            }
            return text;
        };
        std::optional<foundation::Result<void>> outcome;
        auto previousListener = ui::setHandedFileListener(
            [&](const foundation::Result<void>& result) { outcome = result; });
        auto console = std::make_shared<foundation::ConsoleSink>();
        *console = foundation::setConsoleSink([&, console](std::string_view line) {
            auto text = told(std::string(line));
            if (*console) {
                (*console)(text);
            } else {
                std::printf("%s\n", text.c_str());
                std::fflush(stdout);
            }
        });
        Answer answer = deliver(file, delivery, viewport, showLibrary);
        foundation::setConsoleSink(*console);
        ui::setHandedFileListener(std::move(previousListener));
        if (answer.status != 200)
            return answer;
        if (!outcome)
            return { 422,
                { { "error", "the library did not take the file" },
                    { "state", m_state.snapshot() } } };
        if (!*outcome) {
            // The sender names the file already: the reason need not begin with it.
            auto reason = told(outcome->error().description());
            if (const std::string named = "\"" + name + "\": ";
                reason.rfind(named, 0) == 0 && reason.size() > named.size())
                reason.erase(0, named.size());
            return { 422, { { "error", reason }, { "state", m_state.snapshot() } } };
        }
        return answer;
    }

    // Main loop.
    Answer deliver(
        const std::string& file, Delivery delivery, const Viewport& viewport, bool showLibrary)
    {
        ui::HeadlessDriver driver(m_loop);
        applyViewport(viewport, driver);
        if (delivery == Delivery::picker) {
            // Another page may have closed the picker while the file was on its way.
            if (!pickerInFront())
                return noPicker(m_state);
            if (auto picked = driver.pickDocuments({ file }); !picked)
                return { 422,
                    { { "error", picked.error().description() },
                        { "state", m_state.snapshot() } } };
        } else {
            auto application = ui::Application::sharedApplication();
            if (!application)
                return refusal(503, "the application is not running");
            application->openURLFromOtherApplication(foundation::URL::fileURLWithPath(file));
            if (showLibrary && m_stream.openStreams() == 0 && m_options.handedOverWithoutPage)
                m_options.handedOverWithoutPage();
        }
        m_state.stateChanged();
        return { 200, m_state.snapshot() };
    }

    ui::MainLoop& m_loop;
    StateService& m_state;
    EventStream& m_stream;
    const UploadOptions& m_options;
};

}

bool isUploadRoute(const std::string& path)
{
    return path == "/pick" || path == "/handoff";
}

void installUploadRoutes(httplib::Server& server, ui::MainLoop& loop, StateService& state,
    EventStream& stream, const UploadOptions& options)
{
    UploadInbox::removeAbandoned(options.inboxFolder);
    auto route = std::make_shared<UploadRoute>(loop, state, stream, options);
    server.Post("/pick",
        [route](const httplib::Request& request, httplib::Response& response,
            const httplib::ContentReader& reader) {
            send(response, route->take(request, reader, Delivery::picker));
        });
    server.Post("/handoff",
        [route](const httplib::Request& request, httplib::Response& response,
            const httplib::ContentReader& reader) {
            send(response, route->take(request, reader, Delivery::handoff));
        });
    server.Get("/instance", [&state](const httplib::Request&, httplib::Response& response) {
        send(response,
            { 200,
                { { "documents", documentsFolder() }, { "ready", state.isReady() },
                    { "pid", ::getpid() } } });
    });
}

}
