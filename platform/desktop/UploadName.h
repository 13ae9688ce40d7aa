// The name an uploaded or handed-over file may keep: the application takes it as its item's name,
// so only a plain file name of the kind the application takes passes — one path component,
// ending in the kind's ending, printable, and no longer than a file name may be.
#pragma once

#include "platform/foundation/Result.h"

#include <string>

namespace desktop {

// The files an application takes in: the ending their names have (in any case) and what a person
// calls them, as in "only EPUB files, whose names end in ".epub", can be imported".
struct UploadKind {
    std::string ending;
    std::string name;
    // The media type a page sends such a file with.
    std::string mediaType = "application/octet-stream";
};

// The longest file name the library's file systems take, in bytes.
constexpr std::size_t longestUploadName = 255;

// The name as it may be used in the inbox, its ending written as the kind writes it whatever its
// case was (an application may list only that spelling), or an error a person can read. Names
// that are empty, hidden (starting with "."), hold a "/" or a "\", a control character or a NUL,
// are not UTF-8, are longer than longestUploadName, or do not end in the kind's ending (in any
// case) are refused.
foundation::Result<std::string> checkedUploadName(const std::string& name, const UploadKind& kind);

}
