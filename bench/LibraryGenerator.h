// Synthetic libraries for the benchmarks: N books, zipped or as folders, with varied titles and
// authors in many scripts, precomposed and decomposed.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct SyntheticBook {
    std::string title;
    std::string author;
    std::string file;
};

// The n-th book of every synthetic library: the same n gives the same book.
SyntheticBook syntheticBook(std::size_t n);

// Writes count books into folder (created as needed) unless it already holds them; answers the
// folder.
std::string generateLibrary(const std::string& folder, std::size_t count, bool zipped);

}
