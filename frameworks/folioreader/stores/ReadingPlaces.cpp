// The reading places as one JSON document, read whole and replaced whole on each change (through
// foundation::writeFileAtomically, so a power cut leaves the old or the new file). Bounded: a book
// name, a document name and the number of books each have a limit, so a hostile file cannot make
// it grow without end. The rows' progress is read entry by entry, without the whole document.
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
    auto fontScale = json.find("fontScale"), night = json.find("night"),
         picture = json.find("picture");
    if (document == json.end() || !document->is_string() || offset == json.end()
        || !offset->is_number_unsigned())
        return std::nullopt;
    ReadingPlace place;
    place.document = document->get<std::string>();
    if (place.document.empty() || place.document.size() > longestName)
        return std::nullopt;
    place.offset = offset->get<std::uint64_t>();
    if (fontScale != json.end() && fontScale->is_number()
        && std::isfinite(fontScale->get<double>()))
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
    auto store = json.is_object() ? json.find("store") : json.end();
    if (store == json.end() || *store != storeKind)
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

// The progress of each place, read from the file's events as they come: only the entry being
// read is held as a document, so 50,000 places cost their progress, not a document of them all.
// Entries are judged as readPlaces judges them; as in a document, a name given twice keeps its
// last entry.
class ProgressReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    std::map<std::string, BookProgress> progress;
    bool isPlacesFile() const { return m_rootIsObject && m_storeMatches; }

    bool null() override { return value(nullptr); }
    bool boolean(bool value) override { return this->value(value); }
    bool number_integer(number_integer_t value) override { return this->value(value); }
    bool number_unsigned(number_unsigned_t value) override { return this->value(value); }
    bool number_float(number_float_t value, const string_t&) override { return this->value(value); }
    bool string(string_t& value) override { return this->value(std::move(value)); }
    bool binary(binary_t&) override { return value(nullptr); }
    bool start_object(std::size_t) override { return open(true); }
    bool start_array(std::size_t) override { return open(false); }
    bool end_object() override { return close(); }
    bool end_array() override { return close(); }
    bool key(string_t& key) override
    {
        if (m_depth == 1) {
            m_rootKey = key;
            // A second "places" replaces the first, as in a document.
            if (key == "places") {
                progress.clear();
                m_readPlaces = 0;
            }
        } else if (m_depth == 2 && m_inPlaces) {
            m_book = key;
        } else if (m_depth == 3 && m_entry) {
            m_entryKey = key;
        }
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override
    {
        return false;
    }

private:
    // Depths count the open objects and arrays: the file's own object is 1, "places" 2, an
    // entry 3.
    bool open(bool isObject)
    {
        if (m_depth == 0)
            m_rootIsObject = isObject;
        else if (m_depth == 1 && m_rootKey == "store")
            m_storeMatches = false;
        else if (m_depth == 1 && m_rootKey == "places")
            m_inPlaces = isObject;
        else if (m_depth == 2 && m_inPlaces)
            m_entry = isObject ? std::optional(nlohmann::json::object()) : std::nullopt;
        else if (m_depth == 3 && m_entry)
            (*m_entry)[m_entryKey] = nullptr; // no field of a place is an object or an array
        ++m_depth;
        return true;
    }
    bool close()
    {
        --m_depth;
        if (m_depth == 2 && m_inPlaces) {
            entryRead(m_entry ? placeFromJson(*m_entry) : std::nullopt);
            m_entry.reset();
        } else if (m_depth == 1 && m_inPlaces) {
            m_inPlaces = false;
        }
        return true;
    }
    bool value(nlohmann::json value)
    {
        if (m_depth == 1 && m_rootKey == "store")
            m_storeMatches = value == storeKind;
        else if (m_depth == 1 && m_rootKey == "places")
            m_inPlaces = false;
        else if (m_depth == 2 && m_inPlaces)
            entryRead(std::nullopt);
        else if (m_depth == 3 && m_entry)
            (*m_entry)[m_entryKey] = std::move(value);
        return true;
    }
    void entryRead(const std::optional<ReadingPlace>& place)
    {
        if (m_book.empty() || m_book.size() > longestName)
            return;
        progress.erase(m_book);
        if (!place || m_readPlaces >= maximumBooks)
            return;
        ++m_readPlaces;
        if (place->progress || place->finished)
            progress.emplace(m_book, BookProgress { place->progress.value_or(1), place->finished });
    }

    int m_depth = 0;
    bool m_rootIsObject = false, m_storeMatches = false, m_inPlaces = false;
    std::string m_rootKey, m_book, m_entryKey;
    std::optional<nlohmann::json> m_entry;
    std::size_t m_readPlaces = 0;
};

foundation::Result<void> writePlaces(const std::string& storePath, const Places& places)
{
    nlohmann::json books = nlohmann::json::object();
    for (const auto& [book, place] : places) {
        books[book] = { { "document", place.document }, { "offset", place.offset },
            { "fontScale", place.fontScale }, { "night", place.night } };
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

foundation::Result<void> keepReadingPlace(
    const std::string& storePath, const std::string& book, const ReadingPlace& place)
{
    if (book.empty() || book.size() > longestName || place.document.empty()
        || place.document.size() > longestName)
        return foundation::Error("a reading place names its book and its document");
    auto places = readPlaces(storePath);
    if (places.size() >= maximumBooks && !places.contains(book))
        return foundation::Error("too many books have a reading place kept");
    places[book] = place;
    places[book].fontScale
        = std::isfinite(place.fontScale) ? std::clamp(place.fontScale, 0.5, 3.0) : 1;
    if (place.progress)
        places[book].progress
            = std::isfinite(*place.progress) ? std::clamp(*place.progress, 0.0, 1.0) : 0;
    if (place.device.size() > longestName)
        places[book].device.resize(longestName);
    return writePlaces(storePath, places);
}

std::map<std::string, BookProgress> readingProgress(const std::string& storePath)
{
    auto contents = readStoreFile(storePath, largestFile);
    if (!contents || !contents->exists)
        return {};
    ProgressReader reader;
    if (!nlohmann::json::sax_parse(contents->bytes, &reader) || !reader.isPlacesFile())
        return {};
    return std::move(reader.progress);
}

foundation::Result<void> forgetReadingPlace(const std::string& storePath, const std::string& book)
{
    auto places = readPlaces(storePath);
    if (places.erase(book) == 0)
        return {};
    return writePlaces(storePath, places);
}

}
