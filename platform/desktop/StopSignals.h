// StopSignals: Ctrl-C (SIGINT) and SIGTERM end the program cleanly: the first one calls the given
// stop, a second one ends the process at once. Call before any other thread starts, so that every
// thread leaves the signals to the one that waits for them.
#pragma once

#include <functional>

namespace desktop {

void stopOnSignals(std::function<void()> stop);

// What a second signal does before the process ends at once: undo what must not outlive it (the
// instance file). Runs on the signal thread; replaces the earlier one.
void beforeAbruptExit(std::function<void()> cleanup);

}
