// The reading places as one JSON document, read whole and replaced whole on each change (through
// foundation::writeFileAtomically, so a power cut leaves the old or the new file). Bounded: a book
// name, a document name and the number of books each have a limit, so a hostile file cannot make
// it grow without end.
#include "frameworks/folioreader/stores/ReadingPlaces.h"

#include "frameworks/folioreader/stores/StoreFile.h"
#include "platform/foundation/writeFileAtomically.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

namespace folioreader {

namespace {

constexpr const char* storeKind = "pagewyn reading places";
constexpr std::uint64_t largestFile = 16ull * 1024 * 1024;
constexpr std::size_t maximumBooks = 50000;
constexpr std::size_t longestName = 4096;

using Places = std::map<std::string, ReadingPlace>;

std::atomic<std::uint64_t> writesOfPlaces { 0 };

std::optional<ReadingPlace> placeFromJson(const nlohmann::json& json)
{
    if (!json.is_object())
        return std::nullopt;
    auto document = json.find("document"), offset = json.find("offset");
    auto fontScale = json.find("fontScale"), night = json.find("night"), picture = json.find("picture");
    if (document == json.end() || !document->is_string() || offset == json.end() || !offset->is_number_unsigned())
        return std::nullopt;
    ReadingPlace place;
    place.document = document->get<std::string>();
    if (place.document.empty() || place.document.size() > longestName)
        return std::nullopt;
    place.offset = offset->get<std::uint64_t>();
    if (fontScale != json.end() && fontScale->is_number() && std::isfinite(fontScale->get<double>()))
        place.fontScale = std::clamp(fontScale->get<double>(), 0.5, 3.0);
    if (night != json.end() && night->is_boolean())
        place.night = night->get<bool>();
    if (picture != json.end() && picture->is_number_unsigned())
        place.picture = picture->get<std::uint64_t>();
    auto progress = json.find("progress"), finished = json.find("finished");
    auto keptAt = json.find("keptAt"), device = json.find("device");
    if (progress != json.end() && progress->is_number() && std::isfinite(progress->get<double>()))
        place.progress = std::clamp(progress->get<double>(), 0.0, 1.0);
    if (finished != json.end() && finished->is_boolean())
        place.finished = finished->get<bool>();
    if (keptAt != json.end() && keptAt->is_number_integer())
        place.keptAt = keptAt->get<std::int64_t>();
    if (device != json.end() && device->is_string()
        && device->get_ref<const std::string&>().size() <= longestName)
        place.device = device->get<std::string>();
    return place;
}

// The places the file holds; entries that cannot be read are left out. A file that cannot be
// read at all holds none.
Places readPlaces(const std::string& storePath)
{
    Places places;
    auto contents = readStoreFile(storePath, largestFile);
    if (!contents || !contents->exists)
        return places;
    auto json = nlohmann::json::parse(contents->bytes, nullptr, false);
    if (!json.is_object() || json.value("store", "") != storeKind)
        return places;
    auto books = json.find("places");
    if (books == json.end() || !books->is_object())
        return places;
    for (auto& [book, entry] : books->items()) {
        if (places.size() >= maximumBooks)
            break;
        if (book.empty() || book.size() > longestName)
            continue;
        if (auto place = placeFromJson(entry))
            places.emplace(book, std::move(*place));
    }
    return places;
}

foundation::Result<void> writePlaces(const std::string& storePath, const Places& places)
{
    nlohmann::json books = nlohmann::json::object();
    for (const auto& [book, place] : places) {
        books[book] = { { "document", place.document }, { "offset", place.offset }, { "fontScale", place.fontScale },
            { "night", place.night } };
        auto& entry = books[book];
        if (place.picture)
            entry["picture"] = place.picture;
        if (place.progress)
            entry["progress"] = *place.progress;
        if (place.finished)
            entry["finished"] = true;
        if (place.keptAt)
            entry["keptAt"] = place.keptAt;
        if (!place.device.empty())
            entry["device"] = place.device;
    }
    nlohmann::json document = { { "store", storeKind }, { "places", std::move(books) } };
    auto text = document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    auto written = foundation::writeFileAtomically(storePath, text, storeFileMode);
    // Counted once the file changed: a reader that looked before the count looks again.
    ++writesOfPlaces;
    return written;
}

}

std::uint64_t readingPlacesWrites()
{
    return writesOfPlaces;
}

std::optional<ReadingPlace> readingPlace(const std::string& storePath, const std::string& book)
{
    auto places = readPlaces(storePath);
    auto found = places.find(book);
    if (found == places.end())
        return std::nullopt;
    return found->second;
}

foundation::Result<void> keepReadingPlace(const std::string& storePath, const std::string& book, const ReadingPlace& place)
{
    if (book.empty() || book.size() > longestName || place.document.empty() || place.document.size() > longestName)
        return foundation::Error("a reading place names its book and its document");
    auto places = readPlaces(storePath);
    if (places.size() >= maximumBooks && !places.contains(book))
        return foundation::Error("too many books have a reading place kept");
    places[book] = place;
    places[book].fontScale = std::isfinite(place.fontScale) ? std::clamp(place.fontScale, 0.5, 3.0) : 1;
    if (place.progress)
        places[book].progress
            = std::isfinite(*place.progress) ? std::clamp(*place.progress, 0.0, 1.0) : 0;
    if (place.device.size() > longestName)
        places[book].device.resize(longestName);
    return writePlaces(storePath, places);
}

std::map<std::string, BookProgress> readingProgress(const std::string& storePath)
{
    std::map<std::string, BookProgress> progress;
    for (const auto& [book, place] : readPlaces(storePath)) {
        if (place.progress || place.finished)
            progress.emplace(book, BookProgress { place.progress.value_or(1), place.finished });
    }
    return progress;
}

foundation::Result<void> forgetReadingPlace(const std::string& storePath, const std::string& book)
{
    auto places = readPlaces(storePath);
    if (places.erase(book) == 0)
        return {};
    return writePlaces(storePath, places);
}

}
