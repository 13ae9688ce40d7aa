// `pagewyn FILE.epub`: the file goes to the Pagewyn that serves the library, as a file another
// program hands over; when none runs, one is started for the library and given the file once its
// screen is up.
#pragma once

#include <optional>
#include <string>

struct HandoffOptions {
    std::string file;
    std::optional<std::string> documents; // the library folder; the platform's default when absent
    // For an instance that has to be started: the options it starts with.
    int port = 0;
    std::string listen = "127.0.0.1";
    bool noBrowser = false;
};

// Waits for the import: prints one line and answers 0 when the book is in the library;
// otherwise "Can't import FILE: why" on standard error and 1.
int runHandoffCommand(const HandoffOptions& options);
