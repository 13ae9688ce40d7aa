// PushedPlaces: the places reading devices pushed, by document (the devices' name for a book),
// kept in one small file ("kosync-progress.json") so they survive restarts. Bounded in number and
// size: past maximumDocuments the oldest push goes first. Any thread.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace host {

struct PushedPlace {
    std::string document;
    // The device's own text for the place, returned byte for byte.
    std::string progress;
    double percentage = 0;
    std::string device;
    std::string deviceId;
    // When the push arrived, in seconds since 1970, by this computer's clock.
    std::int64_t timestamp = 0;

    bool operator==(const PushedPlace&) const = default;
};

// The object's member of that name when it is text of at most longest bytes; nothing otherwise.
// How a push's members are read, and the store's when it is read back.
std::optional<std::string> boundedStringMember(
    const nlohmann::json& object, const char* name, std::size_t longest);

class PushedPlaces {
public:
    static constexpr std::size_t maximumDocuments = 5000;
    static constexpr std::size_t longestDocument = 128;
    static constexpr std::size_t longestProgress = 4096;
    static constexpr std::size_t longestDevice = 256;
    static constexpr const char* fileName = "kosync-progress.json";

    // Reads the places kept at path; empty path: kept in memory only. A file that cannot be read
    // starts empty and is replaced at the next push.
    explicit PushedPlaces(std::string path);

    std::optional<PushedPlace> find(const std::string& document) const;
    // Keeps the place in place of the document's last; an error when it cannot be written (then
    // the place is not kept).
    foundation::Result<void> keep(const PushedPlace& place);

    // Whether a document name is one a device may use: 1 to longestDocument letters, digits, '-',
    // '_' or '.'.
    static bool isDocumentName(const std::string& document);

private:
    foundation::Result<void> write(const std::map<std::string, PushedPlace>& places) const;

    std::string m_path;
    mutable std::mutex m_mutex;
    std::map<std::string, PushedPlace> m_places;
};

}
