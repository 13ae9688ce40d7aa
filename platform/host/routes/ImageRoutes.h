// ImageRoutes: the pictures the view tree shows, by their id, scaled down to the pixels the page
// asks for.
//
//     GET /images/<id>[?side=N]
#pragma once

namespace httplib {
class Server;
}

namespace host {

class ImageRegistry;

void installImageRoutes(httplib::Server& server, ImageRegistry& images);

}
