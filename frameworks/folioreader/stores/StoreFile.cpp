// Reading a store file whole, bounded; writing one goes through foundation::writeFileAtomically.
#include "frameworks/folioreader/stores/StoreFile.h"

#include "platform/foundation/readSmallFile.h"

namespace folioreader {

foundation::Result<StoreFileContents> readStoreFile(const std::string& path, std::uint64_t largest)
{
    auto bytes = TRY(foundation::readSmallFile(path, largest));
    if (!bytes)
        return StoreFileContents {};
    return StoreFileContents { true, std::move(*bytes) };
}

}
