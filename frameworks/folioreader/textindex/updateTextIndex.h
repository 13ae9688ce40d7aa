// Bringing the text index up to date with a library folder: books new or changed since their text
// was indexed are read, books gone are taken out, one book per transaction, so a stop at any point
// loses nothing and the next update goes on from there.
#pragma once

#include "frameworks/folioreader/textindex/TextIndex.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace folioreader {

struct TextIndexUpdate {
    // A book changed this shortly before it would be read is left for a later update: it may be
    // being written still. Tests set 0.
    std::chrono::nanoseconds unsettledWindow = std::chrono::seconds(5);
    // Asked before each book, between a book's chapters and between the steps of the merge
    // after; true ends the update there. Asked by the thread reading ahead too, so it must be
    // safe to call from two threads.
    std::function<bool()> stopped;
    // Called just before each time stopped is asked, from both threads: it may wait there (while
    // a person uses a page of the library), and returns when the update may go on or stop.
    std::function<void()> pause;
    // While it answers true (a person is using a page of the library), the indexer waits before
    // its next book or chapter: the answers they wait for keep the cores to themselves. The
    // indexer's own to ask, in its pause; updateTextIndex does not.
    std::function<bool()> busy;
    // Told after each book: the books whose text the index holds (or knows unreadable), of all.
    std::function<void(std::size_t indexed, std::size_t total)> progress;
};

struct TextIndexOutcome {
    std::size_t indexed = 0; // books up to date in the index
    std::size_t read = 0; // books read in this update
    bool complete = false; // every book is up to date: none was left for later or stopped at
};

// Updates the index for the folder's books, named by names (the library's items). A book whose
// text cannot be read is recorded so under its stamp, said once on the console ("Can't index: "
// and why), and not read again until it changes.
TextIndexOutcome updateTextIndex(TextIndex& index, const std::string& folder,
    const std::vector<std::string>& names, const TextIndexUpdate& update = {});

}
