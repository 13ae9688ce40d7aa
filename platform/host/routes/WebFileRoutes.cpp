// Serving the renderer's files as they are, from the folder WebFiles reads.
#include "platform/host/routes/WebFileRoutes.h"

#include "platform/host/server/WebFiles.h"

#include <httplib.h>

namespace host {

void installWebFileRoutes(httplib::Server& server, const WebFiles& files)
{
    // The printed address, /?token=..., opens the page, which takes the token from the address
    // into its own keeping and out of the address bar.
    server.Get("/", [&files](const httplib::Request&, httplib::Response& response) {
        auto page = files.file("index.html");
        if (!page) {
            response.status = 500;
            response.set_content("The renderer's files are missing from " + files.root() + ".\n",
                "text/plain; charset=utf-8");
            return;
        }
        response.set_content(std::move(page->bytes), page->mimeType);
    });

    server.Get(R"(/fonts/([A-Za-z-]{1,40}))",
        [&files](const httplib::Request& request, httplib::Response& response) {
            auto font = files.font(request.matches[1]);
            if (!font) {
                response.status = 404;
                return;
            }
            response.headers.erase("Cache-Control");
            response.set_header("Cache-Control", "private, max-age=86400");
            response.set_content(std::move(font->bytes), font->mimeType);
        });

    server.Get("/faces.css", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(WebFiles::faceRules(), "text/css; charset=utf-8");
    });

    server.Get(R"(/([a-z0-9][a-z0-9-]{0,63}\.(html|js|css|svg)))",
        [&files](const httplib::Request& request, httplib::Response& response) {
            auto file = files.file(request.matches[1]);
            if (!file) {
                response.status = 404;
                return;
            }
            response.set_content(std::move(file->bytes), file->mimeType);
        });
}

}
