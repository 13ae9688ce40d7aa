// The checks every request passes before any handler runs.
#include "platform/host/server/RequestGuard.h"

#include "platform/host/server/AccessToken.h"
#include "platform/host/server/ListenAddress.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace host {

namespace {
std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string headerValue(const httplib::Headers& headers, const char* name)
{
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}
}

RequestGuard::RequestGuard(std::string token, std::vector<std::string> acceptedHosts)
    : m_token(std::move(token))
    , m_acceptedHosts(std::move(acceptedHosts))
{
}

RequestGuard::Access RequestGuard::accessFor(const std::string& method, const std::string& path)
{
    if (method != "GET" && method != "HEAD")
        return Access::token;
    static const std::regex renderer(R"(/|/[a-z0-9][a-z0-9-]{0,63}\.(html|js|css|svg)|/fonts/[A-Za-z-]{1,40})");
    static const std::regex keyed(R"(/images/[0-9a-f]{32}|/reader/[0-9a-f]{32}/.+)");
    if (std::regex_match(path, renderer))
        return Access::open;
    if (std::regex_match(path, keyed))
        return Access::byKeyInAddress;
    return Access::token;
}

RequestGuard::Decision RequestGuard::check(const httplib::Request& request) const
{
    const auto& headers = request.headers;
    Decision decision;
    auto host = headerValue(headers, "Host");
    if (!hostHeaderAccepted(host, m_acceptedHosts)) {
        decision.reason = "this address is not Pagewyn's";
        return decision;
    }
    // Browsers name the page a request comes from; only Pagewyn's own page may act. Another port
    // of this machine is the "same site" but not the same origin.
    if (headers.count("Origin") && lowered(headerValue(headers, "Origin")) != "http://" + lowered(host)) {
        decision.reason = "requests from other sites are refused";
        return decision;
    }
    if (headers.count("Sec-Fetch-Site")) {
        auto site = headerValue(headers, "Sec-Fetch-Site");
        if (site != "same-origin" && site != "none") {
            decision.reason = "requests from other sites are refused";
            return decision;
        }
    }
    decision.byToken = tokensEqual(headerValue(headers, tokenHeader), m_token);
    if (decision.byToken || accessFor(request.method, request.path) != Access::token) {
        decision.allowed = true;
        return decision;
    }
    decision.reason = "open the address Pagewyn printed when it started: it holds the key of this launch";
    return decision;
}

}
