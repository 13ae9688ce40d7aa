// Where the library rows' covers are read: on the main loop as each row is configured (the
// default), or, for the program, apart from it (folioreader::CoverLoader), so that a jump into
// rows whose covers the store does not know yet is answered at once, with the blank cover, and
// each row shows its own as it arrives.
#pragma once

#include "platform/ui/MainLoop.h"

// Started before the application runs; every window's rows are shown their covers as they
// arrive, and whoever draws the screens is told (ui::screenChanged).
void startReadingRowCoversApart(ui::MainLoop& loop);
// Finishes the cover being read; before the store closes.
void stopReadingRowCoversApart();
