// Starting a program of the desktop (the opener of files and addresses): its output never mixes
// with Pagewyn's console lines, and it is reaped in the background, so it leaves no zombie behind.
// Where the caller will wait a moment for the outcome, a program that ends at once with a failure
// is reported with its exit status and what it printed.
#pragma once

#include "platform/foundation/Result.h"

#include <chrono>
#include <string>
#include <vector>

namespace desktop {

// Runs the program, found on the search path, with the arguments (no shell reads them). An error
// when it could not be started, or, within the patience given, when it ended with a failure: its
// status and the start of what it printed. A program still running once the patience is spent
// (a file manager that stays) counts as started.
foundation::Result<void> startDesktopProgram(const std::string& program,
    const std::vector<std::string>& arguments,
    std::chrono::milliseconds patience = std::chrono::milliseconds(0));

}
