// releaseLargeBlocks: the C library's mapping threshold, fixed.
#include "platform/foundation/releaseLargeBlocks.h"

#include <malloc.h>

namespace foundation {

void releaseLargeBlocks()
{
    ::mallopt(M_MMAP_THRESHOLD, 256 << 10);
    // Fixing that bound fixes the heap's own trim bound at 128 KiB, which gave the heap's top back
    // and took it again for every book a scan read: a few MB are kept instead.
    ::mallopt(M_TRIM_THRESHOLD, 4 << 20);
}

void releaseFreedMemory()
{
    ::malloc_trim(0);
}

}
