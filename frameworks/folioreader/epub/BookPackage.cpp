// The container, then the package document it names, each read whole within the same limit.
#include "frameworks/folioreader/epub/BookPackage.h"

#include "frameworks/folioreader/epub/EntryName.h"

namespace folioreader {

foundation::Result<PackageDocument> readPackage(
    const EpubContainer& book, std::vector<FileIdentity>* stamp, WithDescription withDescription)
{
    FileIdentity identity;
    auto containerXml = book.read(std::string(containerName), maximumDocumentSize, {}, &identity);
    if (!containerXml) {
        if (book.isEmptyFolder())
            return book.error("empty folder, not an EPUB");
        return containerXml.error();
    }
    if (stamp)
        stamp->push_back(identity);
    auto rootfile = parseContainerRootfile(*containerXml);
    if (!rootfile)
        return book.error(rootfile.error().description());
    auto packageName = resolveEntryName("", *rootfile);
    if (!packageName)
        return book.error("package document \"" + *rootfile + "\" lies outside the book");

    auto packageXml = TRY(book.read(*packageName, maximumDocumentSize, {}, &identity));
    if (stamp)
        stamp->push_back(identity);
    auto package = PackageDocument::parse(packageXml, *packageName, withDescription);
    if (!package)
        return book.error(package.error().description());
    return std::move(*package);
}

foundation::Result<PackageDocument> readStampedPackage(
    const EpubContainer& book, std::vector<FileIdentity>& stamp, WithDescription withDescription)
{
    stamp = { book.identity() };
    auto package = TRY(readPackage(book, &stamp, withDescription));
    if (!book.isFolder())
        stamp.resize(1);
    return package;
}

}
