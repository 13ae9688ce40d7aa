// Fuzz target: finding and decoding a book's cover, the way a row's thumbnail is made. The book
// is unpacked, its files given in the framing of BookEntries, so the package document's cover
// rules and the picture's bytes are mutated together.
#include "frameworks/folioreader/FolioReader.h"
#include "fuzz/BookEntries.h"
#include "fuzz/ScratchFolder.h"
#include "platform/ui/ImageCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzzing::ScratchFolder::shared();
    std::string book = scratch.freshPath("book", ".epub");
    fuzzing::writeEntries(
        fuzzing::decodeEntries({ reinterpret_cast<const char*>(data), size }), book);

    if (auto cover = folioreader::FolioReader::getCoverImage(book)) {
        const auto& image = **cover;
        (void)ui::decodePicture(image.data(), image.mimeType(), 40);
        (void)image.bitmap();
    }

    fuzzing::removeAll(book);
    return 0;
}
