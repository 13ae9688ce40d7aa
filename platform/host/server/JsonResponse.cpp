// Writing a JSON answer.
#include "platform/host/server/JsonResponse.h"

namespace host {

void sendJson(httplib::Response& response, int status, const nlohmann::json& body)
{
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), "application/json; charset=utf-8");
}

}
