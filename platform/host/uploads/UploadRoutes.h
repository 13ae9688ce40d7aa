// UploadRoutes: the routes that take a book file streamed as the request body, named by the
// parameter "name" —
//   POST /pick      the file the user chose in the document picker in front (409 when no picker
//                   is in front);
//   POST /handoff   a file handed over by another program or dropped on the page; it reaches the
//                   application delegate as a file another program opens with the application;
// both answered with the next snapshot once the book is in the library, or 422 with the reason
// (in the words of the sender's file name) and the snapshot when it is not — and GET /instance,
// which tells a program about to hand a file over which library this instance serves and
// whether it is ready.
//
// The body is streamed into a private inbox, bounded by the free space of the library's disk;
// the file is handed over on the main loop and removed afterwards, whatever happened.
#pragma once

#include "platform/host/server/EventStream.h"
#include "platform/host/server/StateService.h"
#include "platform/host/uploads/UploadOptions.h"
#include "platform/ui/MainLoop.h"

#include <httplib.h>
#include <string>

namespace host {

// Whether the route takes a streamed file as its body: such bodies are not held to the host's
// limit for JSON bodies.
bool isUploadRoute(const std::string& path);

void installUploadRoutes(httplib::Server& server, ui::MainLoop& loop, StateService& state,
    EventStream& stream, const UploadOptions& options);

}
