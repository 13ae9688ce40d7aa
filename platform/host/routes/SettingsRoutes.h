// SettingsRoutes: the facts of the platform's settings page for this application, which the
// browser draws when the application asks to open "app-settings:", and the page's one action.
//
//     GET  /settings-page               name, version, library folder, items, bytes, highlight
//                                       database, whether the user service runs the program
//     POST /settings-page/open-folder   opens the library folder in the desktop's file manager
//     POST /settings-page/clear-cache   empties the metadata cache; answers its new size
//     GET  /settings-page/highlights    every highlight of the library, as a file to keep
//
// They only read the file system and start a program, so they run on the request's own thread
// and never wait for the main loop: a large library's walk does not hold up the screen.
#pragma once

#include "platform/foundation/Result.h"
#include "platform/ui/ExportedFile.h"
#include "platform/ui/SettingsPage.h"

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace httplib {
class Server;
}

namespace host {

// The page as the browser draws it, with the byte count also written for people.
nlohmann::json settingsPageJson(const ui::SettingsPage& page, bool runsAsService);

// The program that opens a folder in the desktop's file manager: the one named by the
// environment's PAGEWYN_FOLDER_OPENER (for a desktop without xdg-open, and for tests), else
// xdg-open.
std::string folderOpenerProgram();

// The program's metadata cache as the page shows it: its size in bytes (nothing when none is in
// use) and how to empty it. Set once by the program before the host starts.
struct MetadataCacheActions {
    std::function<std::optional<std::uint64_t>()> size;
    std::function<bool()> clear;
};
void setMetadataCacheActions(MetadataCacheActions actions);

// Makes the library's highlights into one file to take away, off the main loop.
using LibraryHighlights = std::function<foundation::Result<ui::ExportedFile>()>;

// listedEnding: the ending of the names of the items the application lists, which the page counts.
// runsAsService: the user service started the program. highlights: none when the application
// keeps none.
void installSettingsRoutes(httplib::Server& server, const std::string& listedEnding,
    bool runsAsService, LibraryHighlights highlights = {});
}
