// RequestGuard: decides whether a request may reach the application. It must name this host in
// its Host header (so a page elsewhere cannot reach it by a rebound name), come from this host's
// own pages when the browser says where it comes from, and carry the launch's token — in the
// address, in the cookie the host sets, or in a header for programs.
#pragma once

#include <httplib.h>
#include <string>
#include <vector>

namespace host {

class RequestGuard {
public:
    RequestGuard(std::string token, int port, std::vector<std::string> acceptedHosts);

    struct Decision {
        bool allowed = false;
        // Why a request is refused, for the 403 answer.
        std::string reason;
        // The token came in the address: the answer keeps it in the cookie.
        bool tokenFromAddress = false;
    };
    Decision check(const httplib::Request& request) const;

    // One cookie per port, so two running instances on one machine keep their own tokens.
    const std::string& cookieName() const { return m_cookieName; }
    // The Set-Cookie value: HttpOnly (no script reads it) and SameSite=Strict (no other site's
    // page sends it).
    std::string setCookieValue() const;

    static constexpr const char* tokenHeader = "X-Pagewyn-Token";

private:
    std::string cookieToken(const std::string& cookies) const;

    std::string m_token;
    std::string m_cookieName;
    std::vector<std::string> m_acceptedHosts;
};

}
