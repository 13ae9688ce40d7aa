// Starting a program of the desktop (the opener of files and addresses) without waiting for it:
// its output goes nowhere, so it cannot mix with Pagewyn's console lines, and it is reaped in the
// background, so it leaves no zombie behind.
#pragma once

#include "platform/foundation/Result.h"

#include <string>
#include <vector>

namespace desktop {

// Runs the program, found on the search path, with the arguments (no shell reads them); an error
// when it could not be started.
foundation::Result<void> startDesktopProgram(const std::string& program, const std::vector<std::string>& arguments);

}
