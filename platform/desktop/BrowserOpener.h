// BrowserOpener: opens the host's address in the desktop's browser (xdg-open). The address holds
// the launch's token, so it is not put on a command line, where other users of the machine could
// read it: the opener is handed a file only this user can read, which forwards the browser to
// the address. The file is removed when the opener goes.
#pragma once

#include <string>

namespace desktop {

class BrowserOpener {
public:
    BrowserOpener() = default;
    ~BrowserOpener();
    BrowserOpener(const BrowserOpener&) = delete;
    BrowserOpener& operator=(const BrowserOpener&) = delete;

    // Starts the opener without waiting for it; false when it could not be started.
    bool open(const std::string& address);

private:
    std::string m_folder;
};

}
