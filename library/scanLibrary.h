// scanLibrary: brings the book list up to date with the documents folder.
#pragma once

#include "library/BackgroundWork.h"

// Adds books new to the list (title and author read once), raises the date of books whose item
// was modified later, and after any change leaves the list newest first with sort order 0.
// Never removes a book. Unreadable items get a "Can't read: " console line. Then hands the folder
// to the background work given: its descriptions and its books' text.
void scanLibrary(const BackgroundWork& work = {});
