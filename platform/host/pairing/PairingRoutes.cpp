// A device's pairing, and the paired devices on the settings page.
#include "platform/host/pairing/PairingRoutes.h"

#include "platform/host/opds/QrCode.h"
#include "platform/host/pairing/deviceName.h"
#include "platform/host/server/JsonResponse.h"
#include "platform/host/server/RequestGuard.h"

#include <chrono>
#include <httplib.h>

namespace host {

namespace {

}

std::optional<std::string> pairingField(std::string_view body, const char* name)
{
    auto json = nlohmann::json::parse(body, nullptr, false);
    if (!json.is_object() || !json.contains(name) || !json[name].is_string())
        return std::nullopt;
    return json[name].get<std::string>();
}

std::vector<std::string> pairingAddresses(
    const ListenAddress& listen, int port, const std::string& code)
{
    std::vector<std::string> addresses;
    for (auto& host : listen.publicHosts())
        addresses.push_back("http://" + host + ":" + std::to_string(port) + "/?pair=" + code);
    return addresses;
}

nlohmann::json pairedDevicesJson(const PairedDevices& devices, bool canManage)
{
    auto list = nlohmann::json::array();
    for (auto& device : devices.devices())
        list.push_back({ { "id", device.id }, { "name", device.name }, { "paired", device.paired },
            { "lastUse", device.lastUse } });
    auto notice = devices.notice();
    return { { "devices", list }, { "notice", notice ? nlohmann::json(*notice) : nlohmann::json() },
        { "canManage", canManage } };
}

void installPairingRoutes(httplib::Server& server, PairedDevices& devices,
    const RequestGuard& guard, const ListenAddress& listen, int port)
{
    server.Post(RequestGuard::pairingPath,
        [&devices, &guard](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "a pairing code"))
                return;
            auto code = pairingField(request.body, "code");
            auto userAgent = request.get_header_value("User-Agent");
            auto key = devices.redeem(code.value_or(""), userAgent);
            if (!key) {
                guard.recordFailure(request.remote_addr);
                sendJson(response, 403, { { "error", key.error().description() } });
                return;
            }
            sendJson(response, 200, { { "key", *key }, { "name", deviceName(userAgent) } });
        });

    server.Get("/settings-page/devices",
        [&devices, &guard](const httplib::Request& request, httplib::Response& response) {
            sendJson(response, 200, pairedDevicesJson(devices, guard.carriesToken(request)));
        });

    server.Post("/settings-page/devices/add",
        [&devices, &listen, port](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "the request"))
                return;
            auto addresses = nlohmann::json::array();
            for (auto& address : pairingAddresses(listen, port, devices.newCode()))
                addresses.push_back({ { "address", address }, { "qrCode", qrCodeRows(address) } });
            sendJson(response, 200,
                {
                    { "addresses", addresses },
                    { "minutes",
                        std::chrono::duration_cast<std::chrono::minutes>(
                            PairedDevices::codeLifetime)
                            .count() },
                    // Other devices reach the host only when it listens beyond this machine.
                    { "loopbackOnly", listen.isLoopback() },
                });
        });

    server.Post("/settings-page/devices/remove",
        [&devices](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "the request"))
                return;
            auto id = pairingField(request.body, "id");
            if (!id) {
                sendJson(response, 400, { { "error", "a removal is {\"id\": text}" } });
                return;
            }
            if (!devices.remove(*id)) {
                sendJson(response, 404, { { "error", "no paired device has that id" } });
                return;
            }
            sendJson(response, 200, pairedDevicesJson(devices, true));
        });
}

}
