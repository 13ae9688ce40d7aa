// Finishing at start what a killed import or delete left in the library.
#pragma once

#include <string>

// For every work folder of the library that no running Pagewyn holds: a book an import had put
// aside goes back to its name when nothing stands there now; then the folder is removed with
// everything in it. A folder whose book cannot be put back stays, so no book is ever lost.
void recoverInterruptedWork(const std::string& library);
