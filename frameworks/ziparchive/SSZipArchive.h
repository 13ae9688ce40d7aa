// SSZipArchive: our zip unpacker. Unpacks every entry of an archive into a folder, or, when the
// archive is broken or hostile, writes nothing at all.
#pragma once

#include "frameworks/ziparchive/EntryCheck.h"
#include "platform/foundation/Result.h"

#include <string>

class SSZipArchive {
public:
    // Unpacks the zip archive at path into the folder at destination, creating that folder and its
    // subfolders as needed; true when every entry was unpacked. The reason of a failure is lost
    // here: callers that want to report it use unzip.
    static bool unzipFileAtPath(const std::string& path, const std::string& destination);

    // The same, with the reason of a failure. The whole archive is checked before anything is
    // written (see planUnpacking for what is refused), nothing is ever written outside the
    // destination or through a symbolic link, no file already there is overwritten, and on any
    // failure everything this call created is removed again, the destination folder too when
    // this call made it. Files get mode 0644 and folders 0755 (less the umask), whatever the
    // archive says, and the time of unpacking as their modification date, so a freshly unpacked
    // book is the newest item of its folder.
    static foundation::Result<void> unzip(const std::string& path, const std::string& destination,
        const ziparchive::UnzipLimits& limits = {});
};
