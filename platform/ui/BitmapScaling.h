// Scaling a bitmap down for a picture shown small: a cover 36 points wide needs no more than a
// hundred-odd pixels, whatever the book carries.
#pragma once

#include "platform/ui/Bitmap.h"

namespace ui {

// The bitmap scaled down, keeping its proportions, until its shorter side is minimumSide pixels,
// each pixel the average of the pixels it covers (weighted by their opacity, so transparent
// pixels do not darken edges). A bitmap already that small, or a minimumSide below 1, comes back
// as it is.
Bitmap scaledToCover(const Bitmap& bitmap, int minimumSide);

}
