// UploadOptions: where the host streams the book files pages upload and other programs hand
// over, and how much it takes in before the library's disk would run short.
#pragma once

#include "platform/desktop/UploadName.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace host {

// The inbox under this user's cache folder.
std::string defaultInboxFolder();
// The bytes free to this user on the disk of the documents folder (of its nearest existing
// parent while it is not made yet); nothing when the system cannot tell.
std::optional<std::uintmax_t> documentsDiskFreeSpace();

struct UploadOptions {
    // Made private (0700) when missing; each upload gets its own folder inside, removed when the
    // upload has been delivered or refused.
    std::string inboxFolder = defaultInboxFolder();
    std::function<std::optional<std::uintmax_t>()> freeSpace = documentsDiskFreeSpace;
    // Kept free on the library's disk: the unpacked book needs room of its own, and the rest of
    // the system must not find the disk full.
    std::uintmax_t reserve = 64 * 1024 * 1024;
    // The files the application takes; their names are checked before a byte is stored.
    desktop::UploadKind kind;
    // Called on the main loop after a file was handed over while no page showed the library, so
    // the person sees the book open. Nothing: the instance opens no page itself.
    std::function<void()> handedOverWithoutPage;
};

}
