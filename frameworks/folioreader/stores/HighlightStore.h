// HighlightStore: the highlights made in the reader, kept in the database the configuration's
// Realm::Configuration describes — a file (written whole, through a temporary file and a rename,
// so a crash leaves the old or the new one) or a store in memory named by an identifier. A file
// it cannot understand is never written over: highlights are then off for that opening.
#pragma once

#include "frameworks/realm/Configuration.h"
#include "frameworks/realm/Migration.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Result.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace folioreader {

struct Highlight {
    std::string id;
    // The book's item name in the library, and the document of the book the text is in.
    std::string book;
    std::string document;
    // The highlighted characters, counted in the text of the document's body.
    std::uint64_t start = 0;
    std::uint64_t end = 0;
    std::string text;
    foundation::Date created;
};

class HighlightStore {
public:
    // The most highlights one database keeps, and the longest text one highlight keeps.
    static constexpr std::size_t maximumHighlights = 100000;
    static constexpr std::size_t maximumTextBytes = 4096;
    // The name under which the database lists the kind of object it keeps.
    static constexpr const char* objectType = "Highlight";

    // Opens the database. An error says why highlights cannot be kept with this configuration: a
    // sync or an encryption the reader does not do, a file that is no highlight database or was
    // written with a newer schema, a migration that nothing performs.
    static foundation::Result<std::unique_ptr<HighlightStore>> open(
        const Realm::Configuration& configuration);

    bool isReadOnly() const { return m_readOnly; }
    // The book's highlights in the order they were made.
    std::vector<Highlight> highlightsOf(const std::string& book) const;
    // Every book's highlights in the order they were made.
    const std::vector<Highlight>& highlights() const { return m_highlights; }
    // Keeps a new highlight, giving it an id and the time; an error for a read-only database, an
    // empty or reversed range, or when the file cannot be written (nothing is kept then).
    foundation::Result<Highlight> add(Highlight highlight);
    // Forgets the book's highlight of that id.
    foundation::Result<void> remove(const std::string& book, const std::string& id);

private:
    HighlightStore() = default;
    foundation::Result<void> save(const std::vector<Highlight>& highlights);

    std::string m_path; // the file; empty for a store in memory
    std::string m_memoryIdentifier; // the store in memory
    bool m_readOnly = false;
    std::uint64_t m_schemaVersion = 0;
    std::vector<Highlight> m_highlights;
};

}
