// WebFileRoutes: the renderer's files and the stand-in fonts, which hold nothing of the library.
//
//     GET /                                  the page
//     GET /<name>.(html|js|css|svg)          the renderer's files
//     GET /fonts/<name>                      the free faces that stand in for the platform's fonts
#pragma once

namespace httplib {
class Server;
}

namespace host {

class WebFiles;

void installWebFileRoutes(httplib::Server& server, const WebFiles& files);

}
