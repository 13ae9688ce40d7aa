// The page's words as JSON.
#include "platform/host/server/PageWords.h"

namespace host {

nlohmann::json pageWordsJson(const PageWords& words, const desktop::UploadKind& kind)
{
    return { { "one", words.one }, { "many", words.many }, { "oneToAdd", words.oneToAdd },
        { "ending", kind.ending }, { "mediaType", kind.mediaType } };
}

}
