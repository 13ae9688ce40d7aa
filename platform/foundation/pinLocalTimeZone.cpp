// pinLocalTimeZone: TZ set once, from the process's own environment.
#include "platform/foundation/pinLocalTimeZone.h"

#include <cstdlib>

namespace foundation {

void pinLocalTimeZone()
{
    // ":" and a path is the file itself; the C library reads it once.
    ::setenv("TZ", ":/etc/localtime", 0);
}

}
