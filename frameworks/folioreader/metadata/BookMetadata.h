// BookMetadata: what the library reads of a book's package document as it lists the book.
#pragma once

#include <string>

namespace folioreader {

struct BookMetadata {
    std::string title; // the first dc:title; empty when there is none
    std::string author; // the first dc:creator; empty when there is none
    std::string identifier; // the unique identifier the package names; empty when none or too long
    std::string language; // the first dc:language; empty when none or too long
};

}
