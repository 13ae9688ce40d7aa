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

bool sentAsJson(
    const httplib::Request& request, httplib::Response& response, const std::string& what)
{
    if (request.get_header_value("Content-Type").rfind("application/json", 0) == 0)
        return true;
    sendJson(response, 415, { { "error", what + " is sent as application/json" } });
    return false;
}

}
