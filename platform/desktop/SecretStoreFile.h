// SecretStoreFile: the one owner, in this process, of the secret store's file. Every kind of
// secret (the catalog password, the paired devices) reads and replaces its own entries through
// it, one replacement at a time, so no writer drops another kind's entries. It notes each time
// it finds the file open to other users while Pagewyn runs, so a secret kept there in the clear
// is made anew rather than working until a restart.
#pragma once

#include "platform/desktop/SecretStore.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace desktop {

class SecretStoreFile {
public:
    // Reads the file once: what every kind starts from.
    explicit SecretStoreFile(std::string path);

    const std::string& path() const { return m_path; }
    // The file as it was when this owner was made, whichever kind has written since: so each
    // kind learns why a store was not trusted at start even after another kind replaced it.
    const SecretStoreContents& asStarted() const { return m_started; }

    // Replaces every entry of the kind with the given ones and writes the store atomically. The
    // other kinds' entries are kept as the file holds them now when it can be trusted (another
    // Pagewyn may have written it), else as this owner last read or wrote them.
    foundation::Result<void> replaceKind(const std::string& kind, std::vector<SecretEntry> entries);

    // Looks at the file's owner and mode now. Each time it, or a replacement's read, finds the
    // file open to other users, the count of exposures moves and the reason is kept.
    void checkExposure();
    struct Exposures {
        std::uint64_t count = 0;
        std::string lastReason;
    };
    Exposures exposures() const;

private:
    const std::string m_path;
    const SecretStoreContents m_started;
    mutable std::mutex m_mutex;
    // The entries last read from a trusted file or written.
    std::vector<SecretEntry> m_known;
    Exposures m_exposures;
};

}
