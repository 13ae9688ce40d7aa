// Answers that the browser keeps as a file rather than shows: the Content-Disposition that names
// it, and an exported file sent whole.
#pragma once

#include "platform/ui/ExportedFile.h"

#include <string>

namespace httplib {
struct Response;
}

namespace host {

// "attachment" with the file's name: an ASCII stand-in for old clients, and the name itself byte
// for byte, percent-encoded.
std::string attachment(const std::string& name);

// Sends the file as a download under its name, never cached: it is made anew for each request.
void sendExportedFile(httplib::Response& response, const ui::ExportedFile& file);

}
