// Stored descriptions: looked up by the item's name and checked against its files' stamp.
#include "frameworks/folioreader/StoredDescription.h"

#include "frameworks/folioreader/MetadataScan.h"

namespace folioreader {

std::string storedDescription(const std::shared_ptr<MetadataStore>& store, const std::string& path)
{
    auto slash = path.rfind('/');
    if (!store || slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return {};
    auto stored = store->descriptionOf(path.substr(0, slash), path.substr(slash + 1));
    if (!stored)
        return {};
    auto stamp = currentStamp(path, stored->packageName);
    if (!stamp || encodeStamp(*stamp) != stored->stamp)
        return {};
    return std::move(stored->text);
}

}
