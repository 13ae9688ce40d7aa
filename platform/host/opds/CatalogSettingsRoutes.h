// CatalogSettingsRoutes: the catalog's section of the settings page, behind the launch's token
// or a paired device's key like the rest of the page:
//
//     GET  /settings-page/catalog               the catalog's addresses (with their QR codes),
//                                               the user name, the password (to this computer's
//                                               browser only: canManage), and any notice
//     POST /settings-page/catalog/new-password  replaces the password; answers the same facts;
//                                               the launch's token only (RequestGuard)
#pragma once

#include "platform/host/opds/CatalogPassword.h"
#include "platform/host/server/ListenAddress.h"

#include <nlohmann/json.hpp>

namespace httplib {
class Server;
}

namespace host {

class RequestGuard;

// Any user name is taken; this is the one the page suggests.
inline constexpr const char* catalogUserName = "pagewyn";

// The catalog's address on each address the host listens on.
std::vector<std::string> catalogAddresses(const ListenAddress& listen, int port);

// The password only when canManage: the request came from this computer's browser.
nlohmann::json catalogSettingsJson(
    const ListenAddress& listen, int port, const CatalogPassword& password, bool canManage);

void installCatalogSettingsRoutes(httplib::Server& server, const ListenAddress& listen, int port,
    CatalogPassword& password, const RequestGuard& guard);
}
