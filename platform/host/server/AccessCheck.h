// AccessCheck: what every request meets before any route: the guard (RequestGuard), the bound on
// bodies, the headers every answer carries, and the answers to errors and failures.
#pragma once

#include <cstddef>

namespace httplib {
class Server;
}

namespace host {

class RequestGuard;

// Bodies larger than largestBody are refused (413) before they are read, except on the upload
// routes, which stream theirs to disk.
void installAccessCheck(
    httplib::Server& server, const RequestGuard& guard, std::size_t largestBody);

}
