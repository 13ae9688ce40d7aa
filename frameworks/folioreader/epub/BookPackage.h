// Opening a book: its container names the package document, which is read and parsed. The one way
// a book is opened, for its title and author as for the reader, with the same errors.
#pragma once

#include "frameworks/folioreader/epub/EpubContainer.h"
#include "frameworks/folioreader/epub/PackageDocument.h"
#include "platform/foundation/Result.h"

#include <vector>

namespace folioreader {

// The book's package document. stamp, when given, receives the identities of the container and
// the package document as they were read, after whatever it holds.
foundation::Result<PackageDocument> readPackage(const EpubContainer& book,
    std::vector<FileIdentity>* stamp = nullptr,
    WithDescription withDescription = WithDescription::no);
// The same, stamp receiving what the metadata cache keeps it under: the archive's identity for a
// zipped book (which covers every entry); the folder's, its container's and its package
// document's for a folder book.
foundation::Result<PackageDocument> readStampedPackage(const EpubContainer& book,
    std::vector<FileIdentity>& stamp, WithDescription withDescription = WithDescription::no);

}
