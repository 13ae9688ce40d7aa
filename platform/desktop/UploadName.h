// The name an uploaded or handed-over book may keep: the book takes it as its folder's name, so
// only a plain EPUB file name passes — one path component, ending in ".epub", printable, and no
// longer than a file name may be.
#pragma once

#include "platform/foundation/Result.h"

#include <string>

namespace host {

// The longest file name the library's file systems take, in bytes.
constexpr std::size_t longestUploadName = 255;

// The name as it may be used in the inbox, its ending written ".epub" whatever its case was (the
// library lists only that spelling), or an error a person can read. Names that are
// empty, hidden (starting with "."), hold a "/" or a "\", a control character or a NUL, are not
// UTF-8, are longer than longestUploadName, or do not end in ".epub" (in any case) are refused.
foundation::Result<std::string> checkedUploadName(const std::string& name);

}
