// Listen addresses: literals checked with inet_pton, interface addresses from getifaddrs.
#include "platform/host/server/ListenAddress.h"

#include "platform/foundation/FileDescriptor.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace host {

namespace {

std::string bracketed(const std::string& address, bool ipv6)
{
    return ipv6 ? "[" + address + "]" : address;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// This machine's interface addresses, IPv4 first, as printable literals (IPv6 ones bracketed).
std::vector<std::string> interfaceAddresses(bool includeLoopback)
{
    std::vector<std::string> v4;
    std::vector<std::string> v6;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr)
            continue;
        char text[INET6_ADDRSTRLEN] = {};
        if (entry->ifa_addr->sa_family == AF_INET) {
            auto* address = reinterpret_cast<sockaddr_in*>(entry->ifa_addr);
            bool loopback = (ntohl(address->sin_addr.s_addr) >> 24) == 127;
            if ((includeLoopback || !loopback)
                && inet_ntop(AF_INET, &address->sin_addr, text, sizeof text))
                v4.emplace_back(text);
        } else if (entry->ifa_addr->sa_family == AF_INET6) {
            auto* address = reinterpret_cast<sockaddr_in6*>(entry->ifa_addr);
            // Link-local addresses need a zone the Host header cannot carry usefully.
            if (IN6_IS_ADDR_LINKLOCAL(&address->sin6_addr))
                continue;
            bool loopback = IN6_IS_ADDR_LOOPBACK(&address->sin6_addr);
            if ((includeLoopback || !loopback)
                && inet_ntop(AF_INET6, &address->sin6_addr, text, sizeof text))
                v6.push_back(bracketed(text, true));
        }
    }
    freeifaddrs(list);
    v4.insert(v4.end(), v6.begin(), v6.end());
    return v4;
}

}

foundation::Result<ListenAddress> ListenAddress::parse(const std::string& text)
{
    ListenAddress address;
    std::string literal = lowered(text) == "localhost" ? "127.0.0.1" : text;
    in_addr v4 {};
    in6_addr v6 {};
    if (inet_pton(AF_INET, literal.c_str(), &v4) == 1) {
        address.m_address = literal;
        address.m_loopback = (ntohl(v4.s_addr) >> 24) == 127;
        address.m_wildcard = v4.s_addr == htonl(INADDR_ANY);
        return address;
    }
    if (inet_pton(AF_INET6, literal.c_str(), &v6) == 1) {
        char canonical[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, &v6, canonical, sizeof canonical);
        address.m_address = canonical;
        address.m_ipv6 = true;
        address.m_loopback = IN6_IS_ADDR_LOOPBACK(&v6);
        address.m_wildcard = IN6_IS_ADDR_UNSPECIFIED(&v6);
        return address;
    }
    return foundation::Error(
        "\"" + text + "\" is not an IP address (such as 127.0.0.1, 0.0.0.0 or ::1) nor localhost");
}

foundation::Result<ListenAddress::WithPort> ListenAddress::parseWithPort(const std::string& text)
{
    auto refused = [&text](const std::string& why) {
        return foundation::Error("\"" + text + "\" " + why
            + " (write ADDR, ADDR:PORT or [IPv6]:PORT, such as 127.0.0.1, 0.0.0.0:8080 or "
              "[::1]:8080)");
    };
    std::string host = text;
    std::optional<std::string> portText;
    if (!text.empty() && text.front() == '[') {
        auto close = text.find(']');
        if (close == std::string::npos)
            return refused("opens a bracket it does not close");
        host = text.substr(1, close - 1);
        auto rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return refused("has something other than :PORT after the bracket");
            portText = rest.substr(1);
        }
        if (host.find(':') == std::string::npos)
            return refused("brackets something that is not an IPv6 address");
    } else if (auto colon = text.find(':');
               colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
        // One colon: ADDR:PORT. More than one: a bare IPv6 literal, whose port needs brackets.
        host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    std::optional<int> port;
    if (portText) {
        bool digits = !portText->empty() && portText->size() <= 5
            && std::all_of(portText->begin(), portText->end(),
                [](unsigned char c) { return std::isdigit(c); });
        int value = digits ? std::stoi(*portText) : -1;
        if (value < 0 || value > 65535)
            return refused("has no port from 0 to 65535 after its colon");
        port = value;
    }
    auto address = parse(host);
    if (!address)
        return refused("is not an IP address nor localhost");
    return WithPort { *address, port };
}

std::vector<std::string> ListenAddress::publicHosts() const
{
    if (!m_wildcard)
        return { bracketed(m_address, m_ipv6) };
    auto addresses = interfaceAddresses(false);
    if (!m_ipv6) {
        // An IPv4 wildcard serves IPv4 addresses only.
        addresses.erase(std::remove_if(addresses.begin(), addresses.end(),
                            [](auto& a) { return a.front() == '['; }),
            addresses.end());
    }
    if (addresses.empty())
        addresses.push_back(localHost());
    return addresses;
}

std::string ListenAddress::publicHost() const
{
    return publicHosts().front();
}

std::string ListenAddress::localHost() const
{
    if (m_wildcard)
        return m_ipv6 ? "[::1]" : "127.0.0.1";
    return bracketed(m_address, m_ipv6);
}

std::vector<std::string> ListenAddress::acceptedHosts(int port) const
{
    std::vector<std::string> names;
    if (m_loopback || m_wildcard)
        names = { "127.0.0.1", "localhost", "[::1]" };
    names.push_back(bracketed(m_address, m_ipv6));
    if (m_wildcard) {
        auto addresses = interfaceAddresses(true);
        names.insert(names.end(), addresses.begin(), addresses.end());
        char hostname[256] = {};
        if (gethostname(hostname, sizeof hostname - 1) == 0 && hostname[0]) {
            names.emplace_back(hostname);
            names.push_back(std::string(hostname) + ".local");
        }
    }
    std::vector<std::string> accepted;
    for (auto& name : names) {
        auto withPort = lowered(name) + ":" + std::to_string(port);
        if (std::find(accepted.begin(), accepted.end(), withPort) == accepted.end())
            accepted.push_back(withPort);
        // Browsers leave out the default port.
        if (port == 80
            && std::find(accepted.begin(), accepted.end(), lowered(name)) == accepted.end())
            accepted.push_back(lowered(name));
    }
    return accepted;
}

std::string listenRefusal(const ListenAddress& address, int port)
{
    sockaddr_storage storage {};
    socklen_t length = 0;
    if (address.isIPv6()) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET6, address.bindAddress().c_str(), &v6->sin6_addr);
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, address.bindAddress().c_str(), &v4->sin_addr);
        length = sizeof *v4;
    }
    foundation::FileDescriptor probe(::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!probe.isOpen())
        return "no socket could be made";
    int on = 1;
    ::setsockopt(probe.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(probe.get(), reinterpret_cast<sockaddr*>(&storage), length) == 0)
        return "it was taken at that moment";
    switch (errno) {
    case EADDRINUSE:
        return "it is in use";
    case EADDRNOTAVAIL:
        return "the address is not this machine's";
    case EACCES:
        return "only the system may listen on ports below 1024";
    default:
        return std::string("the system refused (") + std::strerror(errno) + ")";
    }
}

bool hostHeaderAccepted(const std::string& header, const std::vector<std::string>& accepted)
{
    auto name = lowered(header);
    return !name.empty() && std::find(accepted.begin(), accepted.end(), name) != accepted.end();
}

}
