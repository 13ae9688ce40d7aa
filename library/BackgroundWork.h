// BackgroundWork: the program's threads that work for the library screen apart from its main
// loop: the reader of the rows' covers, the pass that keeps the catalog's descriptions, and the
// indexer of the books' text. The program makes them and hands them to its library screens, which
// hand them on to each scan. Without them (the tests, the one-off commands) covers are read as
// rows are made, and descriptions and the text index are left alone.
#pragma once

namespace folioreader {
class CoverLoader;
class DescriptionPass;
class TextIndexer;
}

struct BackgroundWork {
    folioreader::CoverLoader* covers = nullptr;
    folioreader::DescriptionPass* descriptions = nullptr;
    folioreader::TextIndexer* textIndexer = nullptr;
};
