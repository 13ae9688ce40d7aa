// The checks every request passes before any handler runs.
#include "platform/host/server/RequestGuard.h"

#include "platform/foundation/base64Decoded.h"
#include "platform/host/server/AccessToken.h"
#include "platform/host/server/ListenAddress.h"

#include <algorithm>
#include <cctype>
#include <regex>

namespace host {

namespace {
std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string headerValue(const httplib::Headers& headers, const char* name)
{
    auto found = headers.find(name);
    return found == headers.end() ? std::string() : found->second;
}
}

RequestGuard::RequestGuard(std::string token, std::vector<std::string> acceptedHosts,
    PasswordCheck catalogPassword, PasswordCheck deviceKey, PasswordCheck deviceKnown,
    AccountCheck syncAccount)
    : m_token(std::move(token))
    , m_acceptedHosts(std::move(acceptedHosts))
    , m_catalogPassword(std::move(catalogPassword))
    , m_deviceKey(std::move(deviceKey))
    , m_deviceKnown(deviceKnown ? std::move(deviceKnown) : m_deviceKey)
    , m_syncAccount(std::move(syncAccount))
{
}

bool RequestGuard::offersSecret(Access access, bool keyPresented)
{
    // Whatever guesses a secret waits as long as its address has guessed wrong lately, right or
    // wrong this time.
    return keyPresented || access == Access::catalog || access == Access::pairing
        || access == Access::sync;
}

RequestGuard::Admission RequestGuard::admission(const httplib::Request& head) const
{
    Admission admission;
    const auto& headers = head.headers;
    bool byToken = carriesToken(head);
    bool keyPresented = !byToken && headers.count(deviceHeader) > 0;
    auto access = accessFor(head.method, head.path);
    if (offersSecret(access, keyPresented))
        admission.delay = m_failures.delayFor(head.remote_addr);
    // Trusted only as check will find it: the right site, and the token or a known device key.
    if (!siteRefusal(head)
        && (byToken
            || (keyPresented && m_deviceKnown
                && m_deviceKnown(headerValue(headers, deviceHeader)))))
        admission.credential = WorkerPool::Credential::trusted;
    else if ((access == Access::catalog && catalogCredentialsHeld(head))
        || (access == Access::sync && syncCredentialsHeld(head)))
        admission.credential = WorkerPool::Credential::catalogPassword;
    admission.download = access == Access::catalog && head.path.rfind("/opds/download/", 0) == 0;
    return admission;
}

bool RequestGuard::catalogCredentialsHeld(const httplib::Request& request) const
{
    auto authorization = headerValue(request.headers, "Authorization");
    constexpr std::string_view basic = "Basic ";
    if (authorization.size() <= basic.size()
        || lowered(authorization.substr(0, basic.size())) != "basic ")
        return false;
    auto credentials = foundation::base64Decoded(authorization.substr(basic.size()));
    // Any user name: the password alone is the secret.
    auto colon = credentials ? credentials->find(':') : std::string::npos;
    if (colon == std::string::npos)
        return false;
    std::string_view password = std::string_view(*credentials).substr(colon + 1);
    bool byPassword = m_catalogPassword && m_catalogPassword(password);
    return tokensEqual(password, m_token) || byPassword;
}

bool RequestGuard::syncCredentialsHeld(const httplib::Request& request) const
{
    const auto& headers = request.headers;
    return m_syncAccount
        && m_syncAccount(headerValue(headers, "x-auth-user"), headerValue(headers, "x-auth-key"));
}

bool RequestGuard::carriesToken(const httplib::Request& request) const
{
    return tokensEqual(headerValue(request.headers, tokenHeader), m_token);
}

RequestGuard::Access RequestGuard::accessFor(const std::string& method, const std::string& path)
{
    if (method == "POST" && path == pairingPath)
        return Access::pairing;
    if (path == "/kosync" || path.rfind("/kosync/", 0) == 0)
        return Access::sync;
    if (method == "POST"
        && (path == "/settings-page/devices/add" || path == "/settings-page/devices/remove"
            || path == "/settings-page/catalog/new-password"))
        return Access::launchToken;
    if (method != "GET" && method != "HEAD")
        return Access::token;
    static const std::regex renderer(
        R"(/|/[a-z0-9][a-z0-9-]{0,63}\.(html|js|css|svg)|/fonts/[A-Za-z-]{1,40})");
    static const std::regex keyed(R"(/images/[0-9a-f]{32}|/reader/[0-9a-f]{32}/.+)");
    if (path == "/opds" || path.rfind("/opds/", 0) == 0)
        return Access::catalog;
    if (std::regex_match(path, renderer))
        return Access::open;
    if (std::regex_match(path, keyed))
        return Access::byKeyInAddress;
    return Access::token;
}

std::optional<std::pair<std::string, std::string>> RequestGuard::siteRefusal(
    const httplib::Request& request) const
{
    const auto& headers = request.headers;
    auto host = headerValue(headers, "Host");
    if (!hostHeaderAccepted(host, m_acceptedHosts))
        return std::pair { "this address is not Pagewyn's", "other-address" };
    // Browsers name the page a request comes from; only Pagewyn's own page may act. Another port
    // of this machine is the "same site" but not the same origin.
    if (headers.count("Origin")
        && lowered(headerValue(headers, "Origin")) != "http://" + lowered(host))
        return std::pair { "requests from other sites are refused", "other-site" };
    if (headers.count("Sec-Fetch-Site")) {
        auto site = headerValue(headers, "Sec-Fetch-Site");
        if (site != "same-origin" && site != "none")
            return std::pair { "requests from other sites are refused", "other-site" };
    }
    return std::nullopt;
}

RequestGuard::Decision RequestGuard::check(const httplib::Request& request) const
{
    const auto& headers = request.headers;
    Decision decision;
    if (auto refused = siteRefusal(request)) {
        decision.reason = refused->first;
        decision.refusal = refused->second;
        return decision;
    }
    decision.byToken = carriesToken(request);
    bool keyPresented = !decision.byToken && headers.count(deviceHeader) > 0;
    decision.byDevice
        = keyPresented && m_deviceKey && m_deviceKey(headerValue(headers, deviceHeader));
    bool wrongKey = keyPresented && !decision.byDevice;
    auto access = accessFor(request.method, request.path);
    if (offersSecret(access, keyPresented))
        decision.delay = m_failures.delayFor(request.remote_addr);
    if (wrongKey)
        m_failures.recordFailure(request.remote_addr);
    if (access == Access::catalog) {
        decision.allowed = decision.byToken || decision.byDevice || catalogCredentialsHeld(request);
        if (!decision.allowed) {
            // Only a wrong password is a guess: a reading app's first request often carries none
            // and is sent again with it after the 401.
            if (!wrongKey && (headers.count("Authorization") || headers.count(tokenHeader)))
                m_failures.recordFailure(request.remote_addr);
            decision.challenge = true;
            decision.reason = "the catalog asks for its password (any user name), shown on "
                              "Pagewyn's settings page";
        }
        return decision;
    }
    if (access == Access::sync) {
        // A device checks the server is there, and may try to register, before it has an account.
        bool open = (request.method == "GET" && request.path == "/kosync/healthcheck")
            || (request.method == "POST" && request.path == "/kosync/users/create");
        decision.allowed = open || syncCredentialsHeld(request);
        if (!decision.allowed) {
            if (headers.count("x-auth-user") || headers.count("x-auth-key"))
                m_failures.recordFailure(request.remote_addr);
            decision.syncUnauthorized = true;
            decision.reason = "the progress sync takes the catalog's user name and password, "
                              "shown on Pagewyn's settings page";
        }
        return decision;
    }
    if (access == Access::launchToken) {
        decision.allowed = decision.byToken;
        if (decision.byDevice)
            decision.reason = "only the browser on the computer Pagewyn runs on, opened at the "
                              "address it printed, "
                              "pairs or removes devices and shows or changes the catalog password";
        if (decision.allowed || decision.byDevice)
            return decision;
    } else if (decision.byToken || decision.byDevice || access != Access::token) {
        decision.allowed = true;
        return decision;
    }
    const std::string pairing = "in Settings on a browser that shows the library, "
                                "\"Add a device\"";
    if (keyPresented) {
        // Removed, or lost with the file of secrets.
        decision.reason = "this device was removed: pair it again, " + pairing;
        decision.refusal = "removed-device";
    } else {
        bool tokenPresented = !headerValue(headers, tokenHeader).empty();
        const std::string launch = "open the address Pagewyn printed when it started: it holds "
                                   "the key of this launch";
        decision.reason = (tokenPresented ? "this key is from an earlier start of Pagewyn: " : "")
            + launch + ". Or pair this device once: " + pairing;
        decision.refusal = tokenPresented ? "earlier-launch" : "not-paired";
    }
    return decision;
}

}
