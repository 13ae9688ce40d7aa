// Where the library rows' covers are read: on the main loop as each row is configured (the
// default), or, for the program, apart from it (folioreader::CoverLoader), so that a jump into
// rows whose covers the store does not know yet is answered at once, with the blank cover, and
// each row shows its own as it arrives.
#pragma once

#include "frameworks/folioreader/metadata/CoverLoader.h"
#include "platform/ui/MainLoop.h"

#include <memory>

// The loader the program hands its library screens (BackgroundWork::covers): every window's rows
// are shown their covers as they arrive, and whoever draws the screens is told
// (ui::screenChanged). Destroy it before the store closes: it finishes the cover being read.
std::unique_ptr<folioreader::CoverLoader> makeRowCoverLoader(ui::MainLoop& loop);
