// CatalogSettingsRoutes: the catalog's section of the settings page, behind the launch's token
// like the rest of the page:
//
//     GET  /settings-page/catalog               the catalog's addresses (with their QR codes),
//                                               the user name, the password, and any notice
//     POST /settings-page/catalog/new-password  replaces the password; answers the same facts
#pragma once

#include "platform/host/opds/CatalogPassword.h"
#include "platform/host/server/ListenAddress.h"

#include <nlohmann/json.hpp>

namespace httplib {
class Server;
}

namespace host {

// Any user name is taken; this is the one the page suggests.
inline constexpr const char* catalogUserName = "pagewyn";

// The catalog's address on each address the host listens on.
std::vector<std::string> catalogAddresses(const ListenAddress& listen, int port);

nlohmann::json catalogSettingsJson(const ListenAddress& listen, int port, const CatalogPassword& password);

void installCatalogSettingsRoutes(httplib::Server& server, const ListenAddress& listen, int port, CatalogPassword& password);

}
