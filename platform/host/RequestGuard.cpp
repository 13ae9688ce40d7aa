// The checks every request passes before any handler runs.
#include "platform/host/RequestGuard.h"

#include "platform/host/AccessToken.h"
#include "platform/host/ListenAddress.h"

#include <algorithm>
#include <cctype>

namespace host {

namespace {
std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text)
{
    auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    auto end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}
}

RequestGuard::RequestGuard(std::string token, int port, std::vector<std::string> acceptedHosts)
    : m_token(std::move(token))
    , m_cookieName("pagewyn-" + std::to_string(port))
    , m_acceptedHosts(std::move(acceptedHosts))
{
}

std::string RequestGuard::setCookieValue() const
{
    return m_cookieName + "=" + m_token + "; Path=/; HttpOnly; SameSite=Strict";
}

std::string RequestGuard::cookieToken(const std::string& cookies) const
{
    std::size_t start = 0;
    while (start <= cookies.size()) {
        auto end = cookies.find(';', start);
        if (end == std::string::npos)
            end = cookies.size();
        auto pair = cookies.substr(start, end - start);
        auto equals = pair.find('=');
        if (equals != std::string::npos && trimmed(pair.substr(0, equals)) == m_cookieName)
            return trimmed(pair.substr(equals + 1));
        start = end + 1;
    }
    return {};
}

RequestGuard::Decision RequestGuard::check(const httplib::Request& request) const
{
    Decision decision;
    auto host = request.get_header_value("Host");
    if (!hostHeaderAccepted(host, m_acceptedHosts)) {
        decision.reason = "this address is not Pagewyn's";
        return decision;
    }
    // Browsers name the page a request comes from; only Pagewyn's own pages may act.
    if (request.has_header("Origin") && lowered(request.get_header_value("Origin")) != "http://" + lowered(host)) {
        decision.reason = "requests from other sites are refused";
        return decision;
    }
    if (request.get_header_value("Sec-Fetch-Site") == "cross-site") {
        decision.reason = "requests from other sites are refused";
        return decision;
    }
    if (request.has_param("token") && tokensEqual(request.get_param_value("token"), m_token)) {
        decision.allowed = true;
        decision.tokenFromAddress = true;
        return decision;
    }
    if (tokensEqual(request.get_header_value(tokenHeader), m_token)
        || tokensEqual(cookieToken(request.get_header_value("Cookie")), m_token)) {
        decision.allowed = true;
        return decision;
    }
    decision.reason = "open the address Pagewyn printed when it started: it holds the key of this launch";
    return decision;
}

}
