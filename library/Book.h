// Book: one book of the library, copied by value into and out of the book list.
#pragma once

#include "platform/foundation/Date.h"

#include <string>

struct Book {
    std::string title; // as the reader engine read it when the book entered the list; may be empty
    std::string author; // read at the same moment; may be empty
    std::string file; // the item's name in the documents folder, with its ".epub" ending
    foundation::Date added; // the item's modification date, or when the book was last opened
};
