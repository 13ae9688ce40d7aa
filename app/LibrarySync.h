// LibrarySync: the library as the progress sync for reading devices sees it. It names each book
// by the digests devices name documents by (of its file's samples, computed once per version of
// the book and kept in the metadata cache; of its name as the catalog sends it), and carries places
// both ways between the devices' XPointers and the reader's kept places. Called on the sync's
// workers: what touches the book list runs on the main loop.
#pragma once

#include "library/BookList.h"
#include "platform/host/kosync/SyncLibrary.h"
#include "platform/ui/MainLoop.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

class LibrarySync final : public host::SyncLibrary {
public:
    explicit LibrarySync(ui::MainLoop& loop, const BookList& books = bookList())
        : m_loop(loop)
        , m_books(books)
    {
    }

    std::optional<std::string> bookFor(const std::string& document) override;
    std::optional<host::SyncPlace> keptPlace(const std::string& book) override;
    void placePushed(
        const std::string& book, const host::SyncPlace& place, const std::string& device) override;

private:
    struct Digest {
        std::string stamp;
        std::string digest;
    };

    std::string digestOf(
        const std::string& file, const std::string& path, const std::string& version);

    ui::MainLoop& m_loop;
    const BookList& m_books;
    std::mutex m_mutex;
    std::uint64_t m_madeAt = UINT64_MAX;
    std::unordered_map<std::string, std::string> m_bookByDocument;
    // By the book's path: the sampled digest and the version of the book it was computed for.
    std::unordered_map<std::string, Digest> m_digests;
};
