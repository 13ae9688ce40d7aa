// The address at either end of a connected socket, as text and a port: who a connection comes from
// (the head gate counts waiting connections per address) and what the server hands its handlers.
#pragma once

#include <string>

namespace host {

struct SocketAddress {
    std::string ip;
    int port = 0;
};

// The peer's address (peer) or this end's; empty when the socket has none.
SocketAddress socketAddress(int socket, bool peer);

}
