// PairingRoutes: a device's pairing, and the settings page's section on paired devices.
//
//     POST /pairing                           {"code"}: a one-time code traded for the device's
//                                             key, {"key", "name"}; 403 for any other code. Open
//                                             to a device without the token (RequestGuard), and
//                                             every wrong code slows its address down
//     GET  /settings-page/devices             the paired devices (name, date paired, last use),
//                                             why none could be read, and whether the asking
//                                             browser may pair and remove (canManage)
//     POST /settings-page/devices/add         a new code, which ends any earlier one: its address
//                                             for each address the host listens on, with the QR
//                                             code's modules; the launch's token only
//     POST /settings-page/devices/remove      {"id"}: stops that device's key; the devices left;
//                                             the launch's token only
#pragma once

#include "platform/host/pairing/PairedDevices.h"
#include "platform/host/server/ListenAddress.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace httplib {
class Server;
}

namespace host {

class RequestGuard;

// A pairing route's JSON body's text field ("code", "id"), or nothing when the body is not an
// object holding one.
std::optional<std::string> pairingField(std::string_view body, const char* name);

// The address that pairs a device with the code, on each address the host listens on: the
// renderer's page, which redeems the code and leaves the bare address.
std::vector<std::string> pairingAddresses(
    const ListenAddress& listen, int port, const std::string& code);

// canManage: the request came from this computer's browser, which alone pairs and removes.
nlohmann::json pairedDevicesJson(const PairedDevices& devices, bool canManage);

void installPairingRoutes(httplib::Server& server, PairedDevices& devices,
    const RequestGuard& guard, const ListenAddress& listen, int port);

}
