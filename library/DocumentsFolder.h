// The documents folder: where the library's books live, determined once on first use.
#pragma once

#include "platform/foundation/URL.h"

#include <string>

// The user's documents directory, created when missing. Fixed for the rest of the process.
const foundation::URL& documentsFolder();

// The documents folder's path, "/" and the book's file, joined as text.
std::string bookPath(const std::string& file);

// Forgets the folder so that the next use determines it again.
void forgetDocumentsFolder();
