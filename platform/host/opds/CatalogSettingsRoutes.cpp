// The catalog's facts for the settings page, and its new password.
#include "platform/host/opds/CatalogSettingsRoutes.h"

#include "platform/host/opds/QrCode.h"
#include "platform/host/server/JsonResponse.h"
#include "platform/host/server/RequestGuard.h"

#include <httplib.h>

namespace host {

std::vector<std::string> catalogAddresses(const ListenAddress& listen, int port)
{
    std::vector<std::string> addresses;
    for (auto& host : listen.publicHosts())
        addresses.push_back("http://" + host + ":" + std::to_string(port) + "/opds");
    return addresses;
}

nlohmann::json catalogSettingsJson(
    const ListenAddress& listen, int port, const CatalogPassword& password, bool canManage)
{
    auto addresses = nlohmann::json::array();
    auto syncAddresses = nlohmann::json::array();
    for (auto& address : catalogAddresses(listen, port)) {
        addresses.push_back({ { "address", address }, { "qrCode", qrCodeRows(address) } });
        // The progress sync's custom server, beside the catalog on the same address.
        auto origin = address.substr(0, address.size() - std::string_view("/opds").size());
        syncAddresses.push_back(origin + "/kosync");
    }
    auto notice = password.notice();
    return {
        { "addresses", addresses },
        { "syncAddresses", syncAddresses },
        { "userName", catalogUserName },
        { "password", canManage ? nlohmann::json(password.current()) : nlohmann::json() },
        { "canManage", canManage },
        { "notice", notice ? nlohmann::json(*notice) : nlohmann::json() },
        // Other devices reach the catalog only when the host listens beyond this machine.
        { "loopbackOnly", listen.isLoopback() },
    };
}

void installCatalogSettingsRoutes(httplib::Server& server, const ListenAddress& listen, int port,
    CatalogPassword& password, const RequestGuard& guard)
{
    server.Get("/settings-page/catalog",
        [&listen, port, &password, &guard](
            const httplib::Request& request, httplib::Response& response) {
            password.checkExposure();
            sendJson(response, 200,
                catalogSettingsJson(listen, port, password, guard.carriesToken(request)));
        });
    server.Post("/settings-page/catalog/new-password",
        [&listen, port, &password](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "the request"))
                return;
            // Kept or not, the new password is the one in force: the page shows it, with the
            // notice.
            (void)password.renew();
            sendJson(response, 200, catalogSettingsJson(listen, port, password, true));
        });
}

}
