// The check every request passes before its body is read or any handler runs.
#include "platform/host/server/AccessCheck.h"

#include "platform/host/server/JsonResponse.h"
#include "platform/host/server/RefusalAnswer.h"
#include "platform/host/server/RequestGuard.h"
#include "platform/host/uploads/UploadRoutes.h"

#include <cstdlib>
#include <httplib.h>

namespace host {

namespace {

// What the browser may do with the host's pages: only the host's own scripts, styles, images and
// fonts; no frames but the reader's own pages, no forms elsewhere, no plug-ins.
constexpr const char* contentSecurityPolicy
    = "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
      "font-src 'self'; connect-src 'self'; frame-src 'self'; base-uri 'none'; "
      "form-action 'none'; frame-ancestors 'none'";

}

void installAccessCheck(httplib::Server& server, const RequestGuard& guard, std::size_t largestBody)
{
    server.set_default_headers({
        { "Cache-Control", "no-store" },
        { "Content-Security-Policy", contentSecurityPolicy },
        { "X-Content-Type-Options", "nosniff" },
        { "X-Frame-Options", "DENY" },
        { "Referrer-Policy", "no-referrer" },
        { "Cross-Origin-Resource-Policy", "same-origin" },
    });

    // Every request passes the guard before its body is read or any handler runs.
    server.set_pre_routing_handler([&guard, largestBody](const httplib::Request& request,
                                       httplib::Response& response) {
        // An address that keeps failing a secret waited for a worker already (admission), so the
        // secret cannot be guessed at network speed and the wait holds no worker.
        auto decision = guard.check(request);
        if (decision.challenge) {
            response.status = 401;
            response.set_header(
                "WWW-Authenticate", std::string("Basic realm=\"") + RequestGuard::realm + "\"");
            response.set_content(
                "Unauthorized: " + decision.reason + ".\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (decision.syncUnauthorized) {
            sendJson(response, 401, { { "code", 2001 }, { "message", "Unauthorized" } });
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!decision.allowed) {
            answerRefusal(decision, response);
            return httplib::Server::HandlerResponse::Handled;
        }
        // The server closes the connection after each of these answers, since the body is left
        // unread; the header tells the client so.
        auto refuseBody = [&response](int status, const char* why) {
            response.set_header("Connection", "close");
            sendJson(response, status, { { "error", why } });
            return httplib::Server::HandlerResponse::Handled;
        };
        // A length said two ways could be read two ways, by us and by whatever stands between.
        if (request.has_header("Transfer-Encoding") && request.has_header("Content-Length"))
            return refuseBody(400, "a request body must say its length one way, not two");
        if (!isUploadRoute(request.path)) {
            // A chunked body could not be bounded before it is read.
            if (request.has_header("Transfer-Encoding"))
                return refuseBody(411, "a request body must say its length");
            if (request.get_header_value_count("Content-Length") > 0
                && std::strtoull(request.get_header_value("Content-Length").c_str(), nullptr, 10)
                    > largestBody)
                return refuseBody(413, "the request body is too large");
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            response.set_content(
                "Error " + std::to_string(response.status) + "\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr failure) {
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
}

}
