// The host's server: its limits, its guard, and its routes.
#include "platform/host/Host.h"

#include <chrono>
#include <thread>

#include "platform/host/AccessToken.h"
#include "platform/host/GatedServer.h"
#include "platform/host/JsonResponse.h"
#include "platform/host/ReaderRoutes.h"
#include "platform/host/RequestGuard.h"
#include "platform/host/SettingsRoutes.h"
#include "platform/host/UploadRoutes.h"

#include <csignal>
#include <httplib.h>
#include <charconv>
#include <cstdlib>
#include <limits>

namespace host {

namespace {

// Each open page holds a stream while it is open; the pool leaves room for several pages'
// requests besides the streams. Connections waiting for their requests hold no worker.
constexpr std::size_t workerThreads = EventStream::maximumStreams + 24;
constexpr auto keepAliveInterval = std::chrono::seconds(15);

// What the browser may do with the host's pages: only the host's own scripts, styles, images and
// fonts; no frames but the reader's own pages, no forms elsewhere, no plug-ins.
constexpr const char* contentSecurityPolicy = "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
                                              "font-src 'self'; connect-src 'self'; frame-src 'self'; base-uri 'none'; "
                                              "form-action 'none'; frame-ancestors 'none'";

void setCacheControl(httplib::Response& response, const std::string& value)
{
    response.headers.erase("Cache-Control");
    response.set_header("Cache-Control", value);
}

std::string urlFor(const std::string& host, int port, const std::string& token)
{
    return "http://" + host + ":" + std::to_string(port) + "/?token=" + token;
}

}

Host::Host(HostOptions options, ui::MainLoop& loop)
    : m_options(std::move(options))
    , m_loop(loop)
    , m_token(makeAccessToken())
    , m_state(loop, m_stream)
    , m_files(m_options.webRoot)
{
}

Host::~Host()
{
    stop();
}

std::string Host::address() const
{
    return urlFor(m_options.listen.publicHost(), m_port, m_token);
}

std::string Host::localAddress() const
{
    return urlFor(m_options.listen.localHost(), m_port, m_token);
}

std::string Host::localOrigin() const
{
    return "http://" + m_options.listen.localHost() + ":" + std::to_string(m_port);
}

foundation::Result<void> Host::start()
{
    if (m_server)
        return foundation::Error("the host is already serving");
    // A page closed while its answer is written must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    m_server = std::make_unique<GatedServer>(workerThreads);
    auto& server = *m_server;
    // Streamed uploads may be large; every other body is held to largestBody before routing.
    server.set_payload_max_length(std::numeric_limits<std::size_t>::max());
    server.set_read_timeout(10);
    server.set_write_timeout(10);
    // An answer goes out as its headers, then its body: without this the body waits for the
    // browser's delayed acknowledgement of the headers, some 40 ms on every snapshot.
    server.set_tcp_nodelay(true);
    if (m_options.listen.isIPv6())
        server.set_address_family(AF_INET6);

    const auto& bindAddress = m_options.listen.bindAddress();
    bool bound = false;
    if (m_options.port == 0) {
        m_port = server.bind_to_any_port(bindAddress);
        bound = m_port > 0;
    } else {
        m_port = m_options.port;
        bound = server.bind_to_port(bindAddress, m_port);
    }
    if (!bound) {
        m_server.reset();
        auto where = m_options.port == 0 ? bindAddress : bindAddress + " port " + std::to_string(m_options.port);
        return foundation::Error("cannot listen on " + where + " (the address is not this machine's, or the port is taken)");
    }
    server.widenBacklog();
    m_guard = std::make_unique<RequestGuard>(m_token, m_options.listen.acceptedHosts(m_port));
    installRoutes();
    m_thread = std::thread([&server] { server.listen_after_bind(); });
    // The server may only be stopped once its loop runs: a stop that comes first is lost, and
    // the loop would then never end.
    for (int waited = 0; !server.is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server.is_running()) {
        server.stop();
        return foundation::Error("the host did not start serving");
    }
    return {};
}

void Host::stop()
{
    m_state.close();
    m_stream.close();
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

void Host::installRoutes()
{
    auto& server = *m_server;
    server.set_default_headers({
        { "Cache-Control", "no-store" },
        { "Content-Security-Policy", contentSecurityPolicy },
        { "X-Content-Type-Options", "nosniff" },
        { "X-Frame-Options", "DENY" },
        { "Referrer-Policy", "no-referrer" },
        { "Cross-Origin-Resource-Policy", "same-origin" },
    });

    // Every request passes the guard before its body is read or any handler runs.
    server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        auto decision = m_guard->check(request);
        if (!decision.allowed) {
            response.status = 403;
            response.set_content("Forbidden: " + decision.reason + ".\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (decision.byToken)
            GatedServer::trustConnection();
        if (!isUploadRoute(request.path)) {
            // A chunked body could not be bounded before it is read.
            if (request.get_header_value("Transfer-Encoding").find("chunked") != std::string::npos) {
                sendJson(response, 411, { { "error", "a request body must say its length" } });
                return httplib::Server::HandlerResponse::Handled;
            }
            if (request.get_header_value_count("Content-Length") > 0
                && std::strtoull(request.get_header_value("Content-Length").c_str(), nullptr, 10) > largestBody) {
                sendJson(response, 413, { { "error", "the request body is too large" } });
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        response.set_content("Error " + std::to_string(response.status) + "\n", "text/plain; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
        std::string what = "unknown failure";
        try {
            if (failure)
                std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            what = error.what();
        } catch (...) {
        }
        sendJson(response, 500, { { "error", "the host failed to answer: " + what } });
    });

    // The printed address, /?token=..., opens the page, which takes the token from the address
    // into its own keeping and out of the address bar.
    server.Get("/", [this](const httplib::Request&, httplib::Response& response) {
        auto page = m_files.file("index.html");
        if (!page) {
            response.status = 500;
            response.set_content("The renderer's files are missing from " + m_options.webRoot + ".\n", "text/plain; charset=utf-8");
            return;
        }
        response.set_content(std::move(page->bytes), page->mimeType);
    });

    server.Get("/state", [this](const httplib::Request& request, httplib::Response& response) {
        auto viewport = viewportFromParameters([&](const std::string& name) -> std::optional<std::string> {
            if (!request.has_param(name.c_str()))
                return std::nullopt;
            return request.get_param_value(name.c_str());
        });
        if (!viewport) {
            sendJson(response, 400, { { "error", viewport.error().description() } });
            return;
        }
        auto reply = m_state.state(*viewport);
        sendJson(response, reply.status, reply.body);
    });

    server.Post("/event", [this](const httplib::Request& request, httplib::Response& response) {
        // Only a script of a Pagewyn page sends JSON; a form of another site cannot.
        if (request.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
            sendJson(response, 415, { { "error", "an event is sent as application/json" } });
            return;
        }
        auto reply = m_state.event(request.body);
        sendJson(response, reply.status, reply.body);
    });

    server.Get("/events", [this](const httplib::Request&, httplib::Response& response) {
        if (!m_stream.open()) {
            response.set_header("Retry-After", "5");
            sendJson(response, 503, { { "error", "too many open pages; this one looks again now and then" } });
            return;
        }
        struct Progress {
            bool greeted = false;
            std::uint64_t lastSent = 0;
        };
        auto progress = std::make_shared<Progress>();
        response.set_header("X-Accel-Buffering", "no");
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, progress](std::size_t, httplib::DataSink& sink) {
                if (!progress->greeted) {
                    // The first message tells the page where the state stands now.
                    progress->greeted = true;
                    progress->lastSent = m_state.version();
                    auto hello = EventStream::changedMessage(progress->lastSent);
                    return sink.write(hello.data(), hello.size());
                }
                auto piece = m_stream.next(progress->lastSent, keepAliveInterval);
                if (!piece || !sink.is_writable()) {
                    sink.done();
                    return true;
                }
                return sink.write(piece->data(), piece->size());
            },
            [this](bool) { m_stream.release(); });
    });

    installReaderRoutes(server, m_loop);
    installUploadRoutes(server, m_loop, m_state, m_stream, m_options.upload);
    installSettingsRoutes(server);

    server.Get(R"(/images/([0-9a-f]{32}))", [this](const httplib::Request& request, httplib::Response& response) {
        // ?side=N: the page shows the picture with its shorter side N pixels, so a large cover
        // is served scaled down.
        int side = 0;
        if (request.has_param("side")) {
            auto text = request.get_param_value("side");
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), side);
            if (error != std::errc() || end != text.data() + text.size() || side < 1 || side > 4096) {
                response.status = 400;
                return;
            }
        }
        auto picture = m_state.images().find(request.matches[1], side);
        if (!picture) {
            response.status = 404;
            return;
        }
        // The id is a digest of the bytes: the same id is always the same picture.
        setCacheControl(response, "private, max-age=86400, immutable");
        response.set_content(*picture->bytes, picture->mimeType);
    });

    server.Get(R"(/fonts/([A-Za-z-]{1,40}))", [this](const httplib::Request& request, httplib::Response& response) {
        auto font = m_files.font(request.matches[1]);
        if (!font) {
            response.status = 404;
            return;
        }
        setCacheControl(response, "private, max-age=86400");
        response.set_content(std::move(font->bytes), font->mimeType);
    });

    server.Get(R"(/([a-z0-9][a-z0-9-]{0,63}\.(html|js|css|svg)))", [this](const httplib::Request& request, httplib::Response& response) {
        auto file = m_files.file(request.matches[1]);
        if (!file) {
            response.status = 404;
            return;
        }
        response.set_content(std::move(file->bytes), file->mimeType);
    });
}

}
