// RequestGuard: decides whether a request may reach the application. It must name this host in
// its Host header (so a page elsewhere cannot reach it by a rebound name), come from this host's
// own page when the browser says where it comes from, and carry the launch's token in its
// X-Pagewyn-Token header. Only loads that cannot carry a header go without it, each by its own
// narrow key in the address: a picture by its id, a book's file by its reader session. The
// program's own renderer files hold nothing of the library and are served to any request that
// names this host. The catalog for reading apps (/opds) takes HTTP Basic authentication instead:
// any user name with the catalog password or the token, and answers those without it 401, ever
// more slowly to an address that keeps failing. No cookie is ever set: a browser would send it
// to every port of this machine.
#pragma once

#include "platform/desktop/InstanceFile.h"
#include "platform/host/server/FailureThrottle.h"

#include <functional>
#include <httplib.h>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class RequestGuard {
public:
    using PasswordCheck = std::function<bool(std::string_view)>;
    // catalogPassword tells whether a presented password is the catalog's; without it only the
    // token opens the catalog.
    RequestGuard(std::string token, std::vector<std::string> acceptedHosts, PasswordCheck catalogPassword = {});

    struct Decision {
        bool allowed = false;
        // Why a request is refused, for the 403 answer.
        std::string reason;
        // It carried the launch's token.
        bool byToken = false;
        // Refused for want of the catalog's credentials: answered 401 with a Basic challenge.
        bool challenge = false;
        // How long the answer waits: the address failed too often lately.
        FailureThrottle::Clock::duration delay {};
    };
    Decision check(const httplib::Request& request) const;

    // How a route is reached: every route the list below does not name needs the token, so a
    // new route is guarded without a word about it.
    enum class Access {
        // The renderer's own files: the page, its scripts, styles, icons and stand-in fonts.
        open,
        // A picture by its unguessable id, or a file of the book open under an unguessable reader
        // session: the route answers only for an id or session it knows.
        byKeyInAddress,
        // The catalog for reading apps, read-only: HTTP Basic with the catalog password, or the
        // token.
        catalog,
        token,
    };
    static Access accessFor(const std::string& method, const std::string& path);

    static constexpr const char* tokenHeader = desktop::accessTokenHeader;

    static constexpr const char* realm = "Pagewyn";

private:
    bool catalogCredentialsHeld(const httplib::Request& request) const;

    std::string m_token;
    std::vector<std::string> m_acceptedHosts;
    PasswordCheck m_catalogPassword;
    mutable FailureThrottle m_catalogFailures;
};

}
