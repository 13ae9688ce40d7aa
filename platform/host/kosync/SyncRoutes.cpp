// The sync protocol's answers: what is pushed is checked whole before anything is kept.
#include "platform/host/kosync/SyncRoutes.h"

#include "platform/host/server/JsonResponse.h"

#include <cmath>
#include <ctime>
#include <httplib.h>

namespace host {

namespace {

// The protocol's failure codes (2001, unauthorized, is the guard's).
constexpr int unknownCode = 2000;
constexpr int invalidFieldsCode = 2003;
constexpr int documentMissingCode = 2004;
constexpr int registrationClosedCode = 2005;

void sendFailure(httplib::Response& response, int status, int code, const std::string& message)
{
    sendJson(response, status, { { "code", code }, { "message", message } });
}

nlohmann::json placeJson(const PushedPlace& place)
{
    return { { "document", place.document }, { "progress", place.progress },
        { "percentage", place.percentage }, { "device", place.device },
        { "device_id", place.deviceId }, { "timestamp", place.timestamp } };
}

void push(PushedPlaces& places, SyncLibrary* library, const SyncClock& clock,
    const httplib::Request& request, httplib::Response& response)
{
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object()) {
        sendFailure(
            response, 403, invalidFieldsCode, "Invalid request: the body is not a JSON object");
        return;
    }
    auto document = body.find("document");
    if (document == body.end() || !document->is_string()
        || !PushedPlaces::isDocumentName(document->get_ref<const std::string&>())) {
        sendFailure(response, 403, documentMissingCode, "Field 'document' not provided.");
        return;
    }
    PushedPlace place;
    place.document = document->get<std::string>();
    auto progress = boundedStringMember(body, "progress", PushedPlaces::longestProgress);
    auto device = boundedStringMember(body, "device", PushedPlaces::longestDevice);
    auto deviceId = body.contains("device_id")
        ? boundedStringMember(body, "device_id", PushedPlaces::longestDevice)
        : std::optional<std::string>("");
    auto percentage = body.find("percentage");
    bool shareHolds = percentage != body.end() && percentage->is_number()
        && percentage->get<double>() >= 0 && percentage->get<double>() <= 1;
    if (!progress || !device || !deviceId || !shareHolds) {
        sendFailure(response, 403, invalidFieldsCode,
            "Invalid request: a push carries \"progress\" (text), \"percentage\" (0 to 1) and "
            "\"device\"");
        return;
    }
    place.progress = *progress;
    place.percentage = percentage->get<double>();
    place.device = *device;
    place.deviceId = *deviceId;
    // The server's own clock: a device's clock may be set wrong, and the newest push must win.
    place.timestamp = clock ? clock() : std::int64_t(std::time(nullptr));
    if (auto kept = places.keep(place); !kept) {
        sendFailure(
            response, 500, unknownCode, "Unknown server error: the place could not be kept");
        return;
    }
    if (library) {
        if (auto book = library->bookFor(place.document))
            library->placePushed(
                *book, { place.progress, place.percentage, place.timestamp }, place.device);
    }
    sendJson(response, 200, { { "document", place.document }, { "timestamp", place.timestamp } });
}

void pull(PushedPlaces& places, SyncLibrary* library, const std::string& document,
    httplib::Response& response)
{
    if (!PushedPlaces::isDocumentName(document)) {
        sendFailure(response, 403, documentMissingCode, "Field 'document' not provided.");
        return;
    }
    auto pushed = places.find(document);
    auto book = library ? library->bookFor(document) : std::nullopt;
    auto kept = book ? library->keptPlace(*book) : std::nullopt;
    // Pagewyn's own place answers when it is newer than the last push: a push it was made from
    // carries the same time, and the push answers as it was sent.
    if (kept && (!pushed || kept->timestamp > pushed->timestamp)) {
        sendJson(response, 200,
            placeJson({ document, kept->progress, kept->percentage, pagewynDevice, pagewynDeviceId,
                kept->timestamp }));
        return;
    }
    sendJson(response, 200, pushed ? placeJson(*pushed) : nlohmann::json::object());
}

}

void installSyncRoutes(httplib::Server& server, PushedPlaces& places,
    std::shared_ptr<SyncLibrary> library, SyncClock clock)
{
    server.Get("/kosync/healthcheck", [](const httplib::Request&, httplib::Response& response) {
        sendJson(response, 200, { { "state", "OK" } });
    });
    server.Post("/kosync/users/create", [](const httplib::Request&, httplib::Response& response) {
        sendFailure(response, 402, registrationClosedCode,
            "User registration is disabled: use the catalog's user name and password from "
            "Pagewyn's settings");
    });
    server.Get("/kosync/users/auth", [](const httplib::Request&, httplib::Response& response) {
        sendJson(response, 200, { { "authorized", "OK" } });
    });
    server.Put("/kosync/syncs/progress",
        [&places, library, clock](const httplib::Request& request, httplib::Response& response) {
            push(places, library.get(), clock, request, response);
        });
    server.Get("/kosync/syncs/progress/([^/]+)",
        [&places, library](const httplib::Request& request, httplib::Response& response) {
            pull(places, library.get(), request.matches[1], response);
        });
    auto notFound = [](const httplib::Request&, httplib::Response& response) {
        sendFailure(response, 404, unknownCode, "Not found: the sync server knows no such route");
    };
    const std::string anyOther = "/kosync(/.*)?";
    server.Get(anyOther, notFound);
    server.Put(anyOther, notFound);
    server.Post(anyOther, notFound);
    server.Delete(anyOther, notFound);
    server.Patch(anyOther, notFound);
}

}
