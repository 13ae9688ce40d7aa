// readRequestHead: the method, path and headers of a request head as it waits at the gate, read
// before the server parses the request, so that a connection is given its place among the
// workers by what it carries (RequestGuard::admission).
#pragma once

#include <httplib.h>
#include <string_view>

namespace host {

// Fills the request's method, path (without its query) and headers from the head: the request
// line, header lines, then an empty line. False, with the request left partly filled, when the
// head is not one the server would take; such a request is served as a stranger's.
bool readRequestHead(std::string_view head, httplib::Request& request);

}
