// SettingsFile: pagewyn.conf, what a Pagewyn started without options serves — the library folder,
// the address it listens on and its port — so that the user service needs no command line. Each
// option given on the command line overrides the file's.
//
//     # one setting a line; blank lines and lines starting with # are skipped
//     documents = ~/Books
//     listen = 0.0.0.0:8080
//
// The file is read strictly: an unknown key, a bad value or a line that is not KEY = VALUE stops
// the start with the line's number, never a silent default.
#pragma once

#include "platform/foundation/Result.h"

#include <optional>
#include <string>
#include <string_view>

struct FileSettings {
    // An absolute folder, "~" already replaced by the home folder.
    std::optional<std::string> documents;
    // The address alone, as the host binds it; a port written with it is in port.
    std::optional<std::string> listen;
    std::optional<int> port;
};

// $XDG_CONFIG_HOME/pagewyn/pagewyn.conf, else ~/.config/pagewyn/pagewyn.conf.
std::string settingsFilePath();

// The settings the text holds; home replaces a leading "~". An error reads
// "pagewyn.conf line N: why" for the first line that is not a setting.
foundation::Result<FileSettings> parseSettings(std::string_view text, const std::string& home);

// The settings in the file: none when there is no file, an error when it cannot be read or holds
// a line that is not a setting.
foundation::Result<FileSettings> readSettingsFile(const std::string& path, const std::string& home);
