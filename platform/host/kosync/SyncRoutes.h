// SyncRoutes: the progress sync reading devices speak (KOReader's "Progress sync" and the readers
// that follow it), served under /kosync behind the catalog's account (RequestGuard):
//
//     GET  /kosync/healthcheck                  {"state":"OK"}
//     POST /kosync/users/create                 402: registration is closed
//     GET  /kosync/users/auth                   {"authorized":"OK"}
//     PUT  /kosync/syncs/progress               keeps a device's place of a document
//     GET  /kosync/syncs/progress/<document>    the newest place: a device's, or Pagewyn's own
//
// Answers are JSON; a failure carries the protocol's code ({"code":2003,"message":…}).
#pragma once

#include "platform/host/kosync/PushedPlaces.h"
#include "platform/host/kosync/SyncLibrary.h"

#include <functional>
#include <memory>

namespace httplib {
class Server;
}

namespace host {

// Where the devices are told to find the sync server, below the host's address.
inline constexpr const char* syncBasePath = "/kosync";
// The device name and id Pagewyn's own places are answered with.
inline constexpr const char* pagewynDevice = "Pagewyn";
inline constexpr const char* pagewynDeviceId = "50616765777966e2808573796e632031";

// Seconds since 1970, for the pushes' timestamps; tests give their own clock.
using SyncClock = std::function<std::int64_t()>;

// library may be null: documents are then kept and answered, matched to no book.
void installSyncRoutes(httplib::Server& server, PushedPlaces& places,
    std::shared_ptr<SyncLibrary> library, SyncClock clock = {});

}
