// The host's JSON answers.
#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace host {

// Sets the status and the body as UTF-8 JSON. Text from books or folder names may hold bytes
// that are not UTF-8: they are replaced, not refused.
void sendJson(httplib::Response& response, int status, const nlohmann::json& body);

}
