// releaseLargeBlocks: large blocks of memory go back to the system as soon as they are freed.
#pragma once

namespace foundation {

// Every block of 256 KiB or more is mapped for itself and unmapped when freed. By default the C
// library raises that bound to the largest block freed so far, and keeps later ones in its heap
// after they are freed: the listing and lists a rescan of 100,000 books makes for a moment (a few
// MB each) then stayed resident, and a host serving such a library passed 64 MB. Before any
// thread starts.
void releaseLargeBlocks();

// Gives the pages freed inside the heap back to the system: after work that made many small
// blocks for a moment (a large JSON file read whole), which the heap would otherwise keep
// resident. Walks the heap: for after such work, not for every call.
void releaseFreedMemory();

}
