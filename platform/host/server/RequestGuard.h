// RequestGuard: decides whether a request may reach the application. It must name this host in
// its Host header (so a page elsewhere cannot reach it by a rebound name), come from this host's
// own page when the browser says where it comes from, and carry the launch's token in its
// X-Pagewyn-Token header. Only loads that cannot carry a header go without it, each by its own
// narrow key in the address: a picture by its id, a book's file by its reader session. The
// program's own renderer files hold nothing of the library and are served to any request that
// names this host. The catalog for reading apps (/opds) takes HTTP Basic authentication instead:
// any user name with the catalog password or the token, and answers those without it 401; its
// progress sync (/kosync) takes the catalog's account in the sync protocol's headers. A
// device that pairs redeems its one-time code without either. An address that keeps failing (a
// wrong password, device key or pairing code) is answered ever more slowly. No cookie is ever
// set: a browser would send it to every port of this machine.
#pragma once

#include "platform/desktop/InstanceFile.h"
#include "platform/host/server/FailureThrottle.h"
#include "platform/host/server/WorkerPool.h"

#include <functional>
#include <httplib.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class RequestGuard {
public:
    using PasswordCheck = std::function<bool(std::string_view)>;
    // Whether a user name and key are the progress sync's account.
    using AccountCheck = std::function<bool(std::string_view user, std::string_view key)>;
    // catalogPassword tells whether a presented password is the catalog's; without it only the
    // token opens the catalog. deviceKey tells whether a presented key is a paired device's.
    // deviceKnown tells the same as deviceKey without noting a use, for the gate's thread; none,
    // deviceKey. syncAccount tells whether a device's sync credentials are the catalog's account;
    // without it the progress sync opens to no one.
    RequestGuard(std::string token, std::vector<std::string> acceptedHosts,
        PasswordCheck catalogPassword = {}, PasswordCheck deviceKey = {},
        PasswordCheck deviceKnown = {}, AccountCheck syncAccount = {});

    struct Decision {
        bool allowed = false;
        // Why a request is refused, for the 403 answer.
        std::string reason;
        // Which refusal it is, named for the page that tells it in plain words (refusalHeader):
        // "other-address", "other-site", "earlier-launch" (a token, not this launch's),
        // "removed-device" (a device key no longer known) or "not-paired" (neither presented).
        std::string refusal;
        // It carried the launch's token.
        bool byToken = false;
        // It carried a paired device's key instead.
        bool byDevice = false;
        // Refused for want of the catalog's credentials: answered 401 with a Basic challenge.
        bool challenge = false;
        // Refused for want of the progress sync's credentials: answered 401 as the protocol says.
        bool syncUnauthorized = false;
        // How long the request waits for a worker: the address failed too often lately
        // (admission applies it).
        FailureThrottle::Clock::duration delay {};
    };
    Decision check(const httplib::Request& request) const;

    // Where a request whose head has come waits for a worker, before it is parsed: its
    // credential (a valid one only), whether it is a catalog download, and its delay. Records no
    // failure: check does, once the request is served.
    struct Admission {
        WorkerPool::Credential credential = WorkerPool::Credential::none;
        bool download = false;
        FailureThrottle::Clock::duration delay {};
    };
    Admission admission(const httplib::Request& head) const;

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
        // A device redeeming its pairing code (POST /pairing): the route checks the code and
        // tells a wrong one (recordFailure).
        pairing,
        // The progress sync for reading devices (/kosync): the catalog's user name and the MD5 of
        // its password in the x-auth-user and x-auth-key headers; its health check and its
        // (closed) registration without them.
        sync,
        // The launch's token or a paired device's key.
        token,
        // The launch's token only, that is this computer's browser: pairing a device, removing
        // one, making a new catalog password. A stolen device key could otherwise mint a lasting
        // second key before the owner removed the first.
        launchToken,
    };
    static Access accessFor(const std::string& method, const std::string& path);

    // Whether the request carries the launch's token: it comes from this computer's browser.
    // Why a request from another address or site is refused, and the refusal's kind; none for
    // Pagewyn's own page.
    std::optional<std::pair<std::string, std::string>> siteRefusal(
        const httplib::Request& request) const;
    bool carriesToken(const httplib::Request& request) const;

    // A secret guessed wrong from the address, which slows its later answers.
    void recordFailure(const std::string& address) const { m_failures.recordFailure(address); }

    static constexpr const char* tokenHeader = desktop::accessTokenHeader;
    static constexpr const char* deviceHeader = "X-Pagewyn-Device";
    static constexpr const char* refusalHeader = "X-Pagewyn-Refusal";
    static constexpr const char* pairingPath = "/pairing";

    static constexpr const char* realm = "Pagewyn";

private:
    bool catalogCredentialsHeld(const httplib::Request& request) const;
    bool syncCredentialsHeld(const httplib::Request& request) const;
    // Whether a request offers a secret, so waits as long as its address's wrong guesses ask.
    static bool offersSecret(Access access, bool keyPresented);

    std::string m_token;
    std::vector<std::string> m_acceptedHosts;
    PasswordCheck m_catalogPassword;
    PasswordCheck m_deviceKey;
    PasswordCheck m_deviceKnown;
    AccountCheck m_syncAccount;
    // Wrong catalog passwords and sync keys, device keys and pairing codes, per address.
    mutable FailureThrottle m_failures;
};

}
