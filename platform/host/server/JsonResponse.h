// The host's JSON answers.
#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace host {

// The JSON as text. Text from books or folder names may hold bytes that are not UTF-8: they are
// replaced, not refused.
std::string jsonText(const nlohmann::json& json);

// Sets the status and the body as UTF-8 JSON, as jsonText writes it.
void sendJson(httplib::Response& response, int status, const nlohmann::json& body);

// Whether the request was sent as JSON; if not, it is answered 415 ("what is sent as
// application/json"). Only a script of a Pagewyn page sends JSON: a form of another site cannot,
// so every route that changes something takes nothing else.
bool sentAsJson(
    const httplib::Request& request, httplib::Response& response, const std::string& what);

}
