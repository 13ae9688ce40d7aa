// The application's classes as start-up and the main interface name them.
#pragma once

#include "library/BackgroundWork.h"

// Registers "Pagewyn.AppDelegate" and "Pagewyn.ViewController" with the platform's class
// registry; every library screen made is handed the background work. Called before
// applicationMain; called again, the screens made after it are handed the new work.
void registerApplicationClasses(const BackgroundWork& work = {});
