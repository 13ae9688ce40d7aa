// PageWords: what the application calls the items it lists, for the texts the page writes itself
// (the first scan's progress, the drop target, the sending of a file); the page gets them with
// the state, together with the files the application takes.
#pragma once

#include "platform/desktop/UploadName.h"

#include <nlohmann/json.hpp>
#include <string>

namespace host {

struct PageWords {
    // One item and several, in running text: "Sending the book", "3 of 12 books".
    std::string one = "item";
    std::string many = "items";
    // One file the application takes, with its article: "Drop an EPUB book here".
    std::string oneToAdd = "a file";
};

// The words as the page reads them: these, and the ending and media type of the files taken.
nlohmann::json pageWordsJson(const PageWords& words, const desktop::UploadKind& kind);

}
