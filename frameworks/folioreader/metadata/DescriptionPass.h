// DescriptionPass: the program's thread that keeps the books' descriptions in the metadata cache.
// Only the catalog for reading apps shows descriptions, so no scan reads them (a first scan is
// what a person waits for) and no catalog page does (a page reads no book): after each scan of a
// folder this thread reads those the store lacks (keepMissingDescriptions), at the lowest
// priority, and the catalog's pages find them there. The program makes one and hands it to the
// library's scans.
#pragma once

#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "platform/foundation/BackgroundThread.h"

#include <deque>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace folioreader {

class DescriptionPass {
public:
    DescriptionPass();
    // Stops before the next book, keeping what it read.
    ~DescriptionPass();
    DescriptionPass(const DescriptionPass&) = delete;
    DescriptionPass& operator=(const DescriptionPass&) = delete;

    // After a scan of the folder: a pass over it, when the scan wrote entries or none has gone
    // over the folder to its end in this run (a pass cut short by the last run's end, or a write
    // another Pagewyn kept busy, is made up for at the next start). A folder waiting already
    // waits once.
    void request(
        std::shared_ptr<MetadataStore> store, const std::string& folder, bool entriesWritten);

private:
    using Folder = std::pair<std::shared_ptr<MetadataStore>, std::string>;
    foundation::BackgroundThread::Next next();
    void pass(const Folder& folder);

    // Under m_thread's lock.
    std::deque<Folder> m_waiting;
    std::set<Folder> m_passedOver;
    foundation::BackgroundThread m_thread;
};

}
