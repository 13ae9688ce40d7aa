// Fuzz target: a zipped book (.epub file) as a user or another program hands it over — its title,
// author and cover read as the scan and the rows read them, then opened in a reader session,
// which unpacks a private copy and reads the spine and table of contents.
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/reader/ReaderSession.h"
#include "fuzz/ScratchFolder.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzzing::ScratchFolder::shared();
    std::string book = scratch.freshPath("book", ".epub");
    std::string copies = scratch.freshPath("copies");
    fuzzing::writeFile(book, std::string(reinterpret_cast<const char*>(data), size));

    (void)folioreader::FolioReader::getTitle(book);
    (void)folioreader::FolioReader::getAuthorName(book);
    if (auto cover = folioreader::FolioReader::getCoverImage(book))
        (void)(*cover)->bitmap();
    {
        auto session = folioreader::ReaderSession::open(book, copies, true);
        for (auto& entry : session->tableOfContents())
            (void)session->spineIndexOf(entry.entryName);
    }

    fuzzing::removeAll(book);
    fuzzing::removeAll(copies);
    return 0;
}
