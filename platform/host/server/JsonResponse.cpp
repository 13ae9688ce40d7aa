// Writing a JSON answer.
#include "platform/host/server/JsonResponse.h"

namespace host {

std::string jsonText(const nlohmann::json& json)
{
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void sendJson(httplib::Response& response, int status, const nlohmann::json& body)
{
    response.status = status;
    response.set_content(jsonText(body), "application/json; charset=utf-8");
}

}
