// The pushed places as one JSON document, read once and replaced whole at each push (through
// foundation::writeFileAtomically, so a crash leaves the old or the new file).
#include "platform/host/kosync/PushedPlaces.h"

#include "platform/foundation/readSmallFile.h"
#include "platform/foundation/writeFileAtomically.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace host {

namespace {

constexpr const char* storeKind = "pagewyn pushed places";
constexpr std::uint64_t largestFile = 32ull * 1024 * 1024;

std::optional<PushedPlace> placeFromJson(const std::string& document, const nlohmann::json& json)
{
    if (!json.is_object() || !PushedPlaces::isDocumentName(document))
        return std::nullopt;
    auto progress = boundedStringMember(json, "progress", PushedPlaces::longestProgress);
    auto device = boundedStringMember(json, "device", PushedPlaces::longestDevice);
    auto deviceId = boundedStringMember(json, "device_id", PushedPlaces::longestDevice);
    auto percentage = json.find("percentage"), timestamp = json.find("timestamp");
    if (!progress || !device || !deviceId || percentage == json.end() || !percentage->is_number()
        || timestamp == json.end() || !timestamp->is_number_integer())
        return std::nullopt;
    double share = percentage->get<double>();
    if (!(share >= 0 && share <= 1))
        return std::nullopt;
    return PushedPlace { document, *progress, share, *device, *deviceId,
        timestamp->get<std::int64_t>() };
}

}

std::optional<std::string> boundedStringMember(
    const nlohmann::json& object, const char* name, std::size_t longest)
{
    auto found = object.find(name);
    if (found == object.end() || !found->is_string()
        || found->get_ref<const std::string&>().size() > longest)
        return std::nullopt;
    return found->get<std::string>();
}

PushedPlaces::PushedPlaces(std::string path)
    : m_path(std::move(path))
{
    if (m_path.empty())
        return;
    auto bytes = foundation::readSmallFile(m_path, largestFile);
    if (!bytes || !*bytes)
        return;
    auto json = nlohmann::json::parse(**bytes, nullptr, false);
    // Compared as JSON: a "store" that is no text is another kind of file, not an exception.
    auto store = json.is_object() ? json.find("store") : json.end();
    if (store == json.end() || *store != storeKind || !json.contains("documents")
        || !json["documents"].is_object())
        return;
    for (auto& [document, entry] : json["documents"].items()) {
        if (m_places.size() >= maximumDocuments)
            break;
        if (auto place = placeFromJson(document, entry))
            m_places.emplace(document, std::move(*place));
    }
}

bool PushedPlaces::isDocumentName(const std::string& document)
{
    return !document.empty() && document.size() <= longestDocument
        && std::all_of(document.begin(), document.end(), [](unsigned char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                   || c == '-' || c == '_' || c == '.';
           });
}

std::optional<PushedPlace> PushedPlaces::find(const std::string& document) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_places.find(document);
    if (found == m_places.end())
        return std::nullopt;
    return found->second;
}

foundation::Result<void> PushedPlaces::keep(const PushedPlace& place)
{
    if (!isDocumentName(place.document) || place.progress.size() > longestProgress
        || place.device.size() > longestDevice || place.deviceId.size() > longestDevice
        || !(place.percentage >= 0 && place.percentage <= 1))
        return foundation::Error(
            "a pushed place names its document, its progress and its device, within bounds");
    std::lock_guard lock(m_mutex);
    // Changed in place, and put back as it was when the file cannot be written.
    std::optional<PushedPlace> replaced, dropped;
    if (auto found = m_places.find(place.document); found != m_places.end())
        replaced = found->second;
    m_places[place.document] = place;
    // Past the bound the oldest push but this one goes first; a tie goes by name, so the choice
    // is the same in every run.
    if (m_places.size() > maximumDocuments) {
        auto older = [&place](const auto& one, const auto& other) {
            if (one.first == place.document || other.first == place.document)
                return other.first == place.document;
            return one.second.timestamp < other.second.timestamp;
        };
        auto oldest = std::min_element(m_places.begin(), m_places.end(), older);
        dropped = oldest->second;
        m_places.erase(oldest);
    }
    if (auto written = m_path.empty() ? foundation::Result<void>() : write(m_places); !written) {
        if (dropped)
            m_places[dropped->document] = *dropped;
        if (replaced)
            m_places[place.document] = *replaced;
        else
            m_places.erase(place.document);
        return written;
    }
    return {};
}

foundation::Result<void> PushedPlaces::write(const std::map<std::string, PushedPlace>& places) const
{
    nlohmann::json documents = nlohmann::json::object();
    for (const auto& [document, place] : places)
        documents[document] = { { "progress", place.progress }, { "percentage", place.percentage },
            { "device", place.device }, { "device_id", place.deviceId },
            { "timestamp", place.timestamp } };
    nlohmann::json store = { { "store", storeKind }, { "documents", std::move(documents) } };
    auto text = store.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return foundation::writeFileAtomically(m_path, text, 0600);
}

}
