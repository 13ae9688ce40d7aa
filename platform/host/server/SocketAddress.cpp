// getpeername or getsockname, written out with inet_ntop for IPv4 and IPv6.
#include "platform/host/server/SocketAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace host {

SocketAddress socketAddress(int socket, bool peer)
{
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    int got = peer ? ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                   : ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    if (got != 0)
        return {};
    char text[INET6_ADDRSTRLEN] {};
    SocketAddress found;
    if (address.ss_family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        found.port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        found.port = ntohs(v6->sin6_port);
    }
    found.ip = text;
    return found;
}

}
