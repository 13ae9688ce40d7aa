// The files Pagewyn takes in as books, as the platform's upload and hand-over checks are told.
#pragma once

#include "platform/desktop/UploadName.h"

inline const desktop::UploadKind bookFiles {
    .ending = ".epub", .name = "EPUB", .mediaType = "application/epub+zip"
};
