// StopSignals: Ctrl-C (SIGINT) and SIGTERM end the program cleanly: the first one calls the given
// stop, a second one ends the process at once. Call before any other thread starts, so that every
// thread leaves the signals to the one that waits for them.
#pragma once

#include <functional>

namespace host {

void stopOnSignals(std::function<void()> stop);

}
