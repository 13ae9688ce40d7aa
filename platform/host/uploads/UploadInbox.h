// UploadInbox: one upload's private folder in the inbox, and the file streamed into it. The body
// goes to disk as it arrives, never whole into memory; it is refused as soon as it would take
// more than the library's disk can spare, and a body that ends early leaves nothing behind. The
// folder, with whatever it holds, goes when the inbox object goes.
#pragma once

#include "platform/foundation/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace host {

// Why an upload was not taken: the HTTP status to answer and the words for the person.
struct UploadFailure {
    int status = 400;
    std::string description;
};

class UploadInbox {
public:
    // Hands each piece of the body to the receiver until the body ends (true) or the receiver or
    // the connection gives up (false): the shape of the server's content reader.
    using Receiver = std::function<bool(const char* data, std::size_t length)>;
    using BodyReader = std::function<bool(const Receiver& receiver)>;

    // A fresh folder for one upload inside inboxFolder (made private when missing). Folders that
    // uploads of programs no longer running left behind are removed first.
    static foundation::Result<std::unique_ptr<UploadInbox>> open(const std::string& inboxFolder);
    // Removes the folders that uploads of programs no longer running left in inboxFolder: done
    // as the host starts too, so a killed upload's bytes do not wait for the next upload.
    static void removeAbandoned(const std::string& inboxFolder);
    ~UploadInbox();
    UploadInbox(const UploadInbox&) = delete;
    UploadInbox& operator=(const UploadInbox&) = delete;

    // Streams the body into the file named name (already checked) and answers its path. Refused
    // (413) when the declared length or the bytes received exceed limit; failed when the body
    // ends before its declared length or the connection breaks (400), or the inbox's disk fails
    // (507). On failure the file is gone.
    std::optional<UploadFailure> receive(const std::string& name,
        std::optional<std::uintmax_t> declaredLength, std::uintmax_t limit, const BodyReader& read);

    const std::string& folder() const { return m_folder; }
    // The received file; empty until receive succeeded.
    const std::string& file() const { return m_file; }

private:
    explicit UploadInbox(std::string folder)
        : m_folder(std::move(folder))
    {
    }

    std::string m_folder;
    std::string m_file;
};

}
