// The application's classes as start-up and the main interface name them.
#pragma once

// Registers "Pagewyn.AppDelegate" and "Pagewyn.ViewController" with the platform's class
// registry. Called once before applicationMain; calling it again changes nothing.
void registerApplicationClasses();
