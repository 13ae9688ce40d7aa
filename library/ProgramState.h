// Starting the library's program-wide state afresh, as at process start.
#pragma once

// Empties the book list, sets the sort order to 0 and forgets the documents folder, so that the
// next use determines it again. For tests and for a launcher that switches libraries.
void resetProgramState();
