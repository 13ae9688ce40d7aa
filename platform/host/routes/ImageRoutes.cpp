// Serving a registered picture, whole or scaled to the side the page shows it at.
#include "platform/host/routes/ImageRoutes.h"

#include "platform/host/snapshot/ImageRegistry.h"

#include <charconv>
#include <httplib.h>

namespace host {

void installImageRoutes(httplib::Server& server, ImageRegistry& images)
{
    server.Get(R"(/images/([0-9a-f]{32}))",
        [&images](const httplib::Request& request, httplib::Response& response) {
            // ?side=N: the page shows the picture with its shorter side N pixels, so a large cover
            // is served scaled down.
            int side = 0;
            if (request.has_param("side")) {
                auto text = request.get_param_value("side");
                auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), side);
                if (error != std::errc() || end != text.data() + text.size() || side < 1
                    || side > 4096) {
                    response.status = 400;
                    return;
                }
            }
            auto picture = images.find(request.matches[1], side);
            if (!picture) {
                response.status = 404;
                return;
            }
            // The id is a digest of the bytes: the same id is always the same picture.
            response.headers.erase("Cache-Control");
            response.set_header("Cache-Control", "private, max-age=86400, immutable");
            response.set_content(*picture->bytes, picture->mimeType);
        });
}

}
