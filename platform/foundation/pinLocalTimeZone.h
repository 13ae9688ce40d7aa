// pinLocalTimeZone: the process keeps the system's time zone as it found it at start.
#pragma once

namespace foundation {

// Names the system's time zone file in TZ when TZ names none. Unset, the C library looks at that
// file again on every conversion of a local time, and the zip reader converts the date of every
// entry of every book it opens: a scan of 100,000 books made millions of stat calls, and its
// reading threads queued for the C library's time zone lock. Call before any thread starts; a time
// zone changed while the program runs is seen at its next start.
void pinLocalTimeZone();

}
