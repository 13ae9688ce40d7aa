// Fuzz target: an unpacked book (a folder), its files given in the framing of BookEntries — its
// title and author read as the scan reads them, then opened in place in a reader session, which
// reads the spine and table of contents.
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/reader/ReaderSession.h"
#include "fuzz/BookEntries.h"
#include "fuzz/ScratchFolder.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzzing::ScratchFolder::shared();
    std::string book = scratch.freshPath("book", ".epub");
    fuzzing::writeEntries(
        fuzzing::decodeEntries({ reinterpret_cast<const char*>(data), size }), book);

    (void)folioreader::FolioReader::getTitle(book);
    (void)folioreader::FolioReader::getAuthorName(book);
    {
        auto session = folioreader::ReaderSession::open(book, std::nullopt, true);
        for (auto& entry : session->tableOfContents())
            (void)session->spineIndexOf(entry.entryName);
    }

    fuzzing::removeAll(book);
    return 0;
}
