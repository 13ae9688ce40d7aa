// Faults: misuse of the platform that the original toolkit stops the program for (a table told
// of a deletion its data source does not reflect, an action no one performs). The program goes
// on, but every fault is written to the console and counted, so a test or a person cannot miss it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

// Writes "Fault: " and the description as a console line and records it.
void reportFault(std::string_view description);

// The faults reported since the last call, oldest first.
std::vector<std::string> takeFaults();
std::size_t faultCount();

}
