// The library's program-wide state: started afresh, as at process start, and counted, so that
// every screen showing it knows when it changed.
#pragma once

#include <cstdint>

// Empties the book list, sets the sort order to 0 and forgets the documents folder, so that the
// next use determines it again. For tests and for a launcher that switches libraries.
void resetProgramState();

// A number that moves whenever the book list or its order changes, whatever changed it: each
// screen compares it with what it showed last.
std::uint64_t programStateCount();
