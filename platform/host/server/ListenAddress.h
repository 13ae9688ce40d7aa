// ListenAddress: the address the host binds to, the address it prints, and the names a browser
// may use for it in the Host header. Loopback by default; another address serves other devices.
#pragma once

#include "platform/foundation/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace host {

class ListenAddress {
public:
    // An IPv4 or IPv6 literal, or "localhost"; an error for anything else.
    static foundation::Result<ListenAddress> parse(const std::string& text);
    static ListenAddress loopback() { return *parse("127.0.0.1"); }

    // What --listen takes, as people type it: ADDR, ADDR:PORT (IPv4 or localhost) or
    // [IPv6]:PORT (a bare IPv6 literal is an address without a port); an error for anything else.
    struct WithPort;
    static foundation::Result<WithPort> parseWithPort(const std::string& text);

    // The literal handed to the socket.
    const std::string& bindAddress() const { return m_address; }
    bool isIPv6() const { return m_ipv6; }
    bool isLoopback() const { return m_loopback; }
    // 0.0.0.0 or ::, every interface of the machine.
    bool isWildcard() const { return m_wildcard; }

    // The host part of the address a person opens: the literal, bracketed for IPv6; for a
    // wildcard, this machine's first address other devices can reach (loopback when it has none).
    std::string publicHost() const;
    // Every such host part, one per address of this machine the host listens on.
    std::vector<std::string> publicHosts() const;
    // The same, for the browser on this machine: loopback whenever the host listens there.
    std::string localHost() const;

    // Every Host header value (name and port) by which a browser legitimately reaches the host:
    // the loopback names, the bound address and, for a wildcard, this machine's addresses and name.
    std::vector<std::string> acceptedHosts(int port) const;

private:
    std::string m_address;
    bool m_ipv6 = false;
    bool m_loopback = false;
    bool m_wildcard = false;
};

struct ListenAddress::WithPort {
    ListenAddress address;
    std::optional<int> port;
};

// Why the host cannot listen on the address and port, in words that follow "cannot listen on
// ADDR port PORT: " ("it is in use"), found by trying to bind them as the host does.
std::string listenRefusal(const ListenAddress& address, int port);

// Whether the Host header names one of the accepted hosts; case does not matter in host names.
bool hostHeaderAccepted(const std::string& header, const std::vector<std::string>& accepted);

}
