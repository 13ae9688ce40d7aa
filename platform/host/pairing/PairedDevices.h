// PairedDevices: the browsers of other devices that open Pagewyn without the launch's token. A
// one-time pairing code, shown on the settings page for a few minutes, is traded once for a
// device key: random, kept by the device's page, and here only as its SHA-256 digest in the
// secret store, so the file alone opens nothing. A removed device's key is refused at once. Each
// device's last use is noted in memory at every request and written only now and then.
#pragma once

#include "platform/desktop/SecretStoreFile.h"
#include "platform/foundation/Result.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class PairedDevices {
public:
    using Clock = std::chrono::system_clock;

    // Reads the devices the store held when Pagewyn started; a store that cannot be trusted holds
    // none, and the notice says why. The store outlives this.
    explicit PairedDevices(desktop::SecretStoreFile& store);
    // Writes the last uses not written yet.
    ~PairedDevices();
    PairedDevices(const PairedDevices&) = delete;
    PairedDevices& operator=(const PairedDevices&) = delete;

    struct Device {
        // Names the device to remove; not its key.
        std::string id;
        // What its browser called itself: "Firefox on Android".
        std::string name;
        // ISO 8601 in UTC; lastUse empty until the key is first used.
        std::string paired;
        std::string lastUse;
    };
    std::vector<Device> devices() const;

    // A new pairing code, good once within codeLifetime; any earlier code still waiting ends.
    std::string newCode(Clock::time_point now = Clock::now());
    // Trades a code given out within its lifetime and not used yet for a new device's key; the
    // device is named after the user agent of its browser. An error for any other code.
    foundation::Result<std::string> redeem(
        std::string_view code, std::string_view userAgent, Clock::time_point now = Clock::now());

    // Whether the key is a paired device's. Its last use is noted; written when the last write
    // of last uses is older than lastUseInterval.
    bool admits(std::string_view key, Clock::time_point now = Clock::now());
    // Whether the key is a paired device's, noting nothing: where a request waits for a worker.
    bool knows(std::string_view key) const;
    // Stops the device's key here and now, kept or not (the notice tells a failure to keep it);
    // false when no device has the id.
    bool remove(const std::string& id);

    // Why the paired devices were not read at start, or could not be kept, for the settings page;
    // nothing when all is well.
    std::optional<std::string> notice() const;

    static constexpr const char* entryKind = "device";
    static constexpr auto codeLifetime = std::chrono::minutes(5);
    static constexpr auto lastUseInterval = std::chrono::minutes(10);
    static constexpr std::size_t codeLength = 10;

private:
    struct Kept {
        Device device;
        // SHA-256 of the key, as 64 hex digits.
        std::string keyDigest;
        // The last use in this run, written as the device's lastUse only when it is listed or
        // kept: a request notes the time, it formats nothing.
        std::optional<Clock::time_point> usedAt;

        // The device with its last use as text.
        Device listed() const;
    };
    struct Code {
        std::string code;
        Clock::time_point expires;
    };

    // Writes every device as the store's entries of its kind; the notice tells a failure. Called
    // with m_writing held.
    foundation::Result<void> keep(Clock::time_point now = Clock::now());

    desktop::SecretStoreFile& m_store;
    // Writes one at a time, each of the devices as they are when it starts, so a later write
    // never carries an older list.
    std::mutex m_writing;
    mutable std::mutex m_mutex;
    std::vector<Kept> m_devices;
    // The one code waiting, if any.
    std::optional<Code> m_code;
    bool m_lastUsesUnwritten = false;
    Clock::time_point m_lastUsesWritten;
    std::optional<std::string> m_notice;
};

}
