// BookDetails: what the book list keeps of a book beside its record, for the catalog for reading
// apps: read with the title and author when the book entered the list, and unchanged after.
#pragma once

#include <string>

struct BookDetails {
    std::string identifier; // the package's unique identifier; empty when it names none
    std::string language; // the package's first language; empty when it declares none
};
