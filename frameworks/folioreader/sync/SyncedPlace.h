// A book's reading place in the terms of reading devices that sync progress, both ways: the place
// Pagewyn's reader kept as an XPointer with the share of the book's text before it, and a device's
// XPointer (or, where it names nothing here, its percentage) as a place the reader opens at.
#pragma once

#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "platform/foundation/Result.h"

#include <string>

namespace folioreader {

struct DevicePlace {
    std::string progress; // the XPointer
    double percentage = 0;
};

// The kept place of the book at bookPath as a device names it: the first character on the screen,
// or the start of its document when the document begins with pictures only.
foundation::Result<DevicePlace> devicePlaceOf(
    const std::string& bookPath, const ReadingPlace& place);

// The place a device's progress names in the book at bookPath: its character; the start of its
// spine document when the path below it names nothing; else the place at its percentage of the
// book's text. The text size and night mode are kept's, when given.
foundation::Result<ReadingPlace> readingPlaceOf(const std::string& bookPath,
    const DevicePlace& device, const std::optional<ReadingPlace>& kept);

}
