// StateRoutes: the window's state for the page, the page's events, and the change stream.
//
//     GET  /state    the snapshot for the page's viewport; while starting, the first scan's
//     progress POST /event    one user action, answered with the next snapshot GET  /events
//     server-sent events: the state's version changed for another reason
#pragma once

namespace httplib {
class Server;
}

namespace host {

class EventStream;
class StateService;

void installStateRoutes(httplib::Server& server, StateService& state, EventStream& stream);

}
