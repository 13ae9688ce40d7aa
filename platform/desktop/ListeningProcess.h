// Whether a process of this user listens on a TCP port of this machine, told from /proc alone:
// nothing is sent to whoever listens there. A program about to hand a book and the launch token
// to the instance its instance file names asks this first, so that a file left by a killed
// instance never leads the book to a stranger who took its port since.
#pragma once

#include <sys/types.h>

namespace desktop {

bool processListensOnPort(pid_t pid, int port);

}
