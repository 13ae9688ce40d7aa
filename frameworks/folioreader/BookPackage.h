// Opening a book: its container names the package document, which is read and parsed. The one way
// a book is opened, for its title and author as for the reader, with the same errors.
#pragma once

#include "frameworks/folioreader/EpubContainer.h"
#include "frameworks/folioreader/PackageDocument.h"
#include "platform/foundation/Result.h"

#include <vector>

namespace folioreader {

// The book's package document. stamp, when given, receives the identities of the container and
// the package document as they were read, after whatever it holds.
foundation::Result<PackageDocument> readPackage(const EpubContainer& book, std::vector<FileIdentity>* stamp = nullptr);

}
