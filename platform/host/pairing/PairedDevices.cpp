// Pairing codes, device keys and their digests in the secret store.
#include "platform/host/pairing/PairedDevices.h"

#include "platform/foundation/Console.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/randomHex.h"
#include "platform/foundation/sha256.h"
#include "platform/host/pairing/deviceName.h"
#include "platform/host/server/AccessToken.h"

#include <algorithm>

namespace host {

namespace {

std::string dateText(PairedDevices::Clock::time_point when)
{
    return foundation::Date(std::chrono::time_point_cast<std::chrono::nanoseconds>(when)).iso8601();
}

bool isDigest(const std::string& text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}

PairedDevices::PairedDevices(desktop::SecretStoreFile& store)
    : m_store(store)
    , m_lastUsesWritten(Clock::now())
{
    const auto& contents = m_store.asStarted();
    if (contents.distrusted && *contents.distrusted != "there was none") {
        m_notice = "No device is paired: the file of secrets could not be used ("
            + *contents.distrusted + "). Add each device again.";
        return;
    }
    std::size_t unreadable = 0;
    for (auto& entry : contents.entries) {
        if (entry.kind != entryKind)
            continue;
        // id, name, key digest, date paired, last use
        if (entry.fields.size() != 5 || !isDigest(entry.fields[2])) {
            ++unreadable;
            continue;
        }
        m_devices.push_back(
            { { entry.fields[0], entry.fields[1], entry.fields[3], entry.fields[4] },
                entry.fields[2] });
    }
    if (unreadable > 0)
        m_notice = std::to_string(unreadable)
            + (unreadable == 1 ? " paired device was" : " paired devices were")
            + " damaged in the file of secrets and can no longer open Pagewyn. Add them again.";
}

PairedDevices::~PairedDevices()
{
    std::lock_guard writing(m_writing);
    bool unwritten = false;
    {
        std::lock_guard lock(m_mutex);
        unwritten = m_lastUsesUnwritten;
    }
    if (!unwritten)
        return;
    if (auto kept = keep(); !kept)
        foundation::console(
            "Can't keep the paired devices' last use: " + kept.error().description());
}

PairedDevices::Device PairedDevices::Kept::listed() const
{
    auto shown = device;
    if (usedAt)
        shown.lastUse = dateText(*usedAt);
    return shown;
}

std::vector<PairedDevices::Device> PairedDevices::devices() const
{
    std::lock_guard lock(m_mutex);
    std::vector<Device> devices;
    for (auto& kept : m_devices)
        devices.push_back(kept.listed());
    return devices;
}

std::string PairedDevices::newCode(Clock::time_point now)
{
    auto code = desktop::makeTypableSecret(codeLength);
    std::lock_guard lock(m_mutex);
    // An address shown earlier, perhaps to someone else, pairs nothing any more.
    m_code = Code { code, now + codeLifetime };
    return code;
}

foundation::Result<std::string> PairedDevices::redeem(
    std::string_view code, std::string_view userAgent, Clock::time_point now)
{
    std::lock_guard writing(m_writing);
    auto key = foundation::randomHex(32);
    {
        std::lock_guard lock(m_mutex);
        // Compared in time that depends on the lengths only, so the time taken tells nothing.
        bool matches = m_code && m_code->expires > now && tokensEqual(code, m_code->code);
        if (!matches)
            return foundation::Error(
                "this pairing address was used already, has expired, was replaced by a newer one "
                "or is not one Pagewyn gave: add the device again in Settings");
        m_code.reset();
        m_devices.push_back(
            { { foundation::randomHex(8), deviceName(userAgent), dateText(now), "" },
                foundation::sha256Hex(key) });
    }
    // Kept or not, the device is paired until Pagewyn stops; the notice tells a failure to keep it.
    (void)keep(now);
    return key;
}

bool PairedDevices::admits(std::string_view key, Clock::time_point now)
{
    auto digest = foundation::sha256Hex(key);
    bool due = false;
    {
        std::lock_guard lock(m_mutex);
        auto found = std::find_if(m_devices.begin(), m_devices.end(),
            [&](const Kept& kept) { return tokensEqual(digest, kept.keyDigest); });
        if (found == m_devices.end())
            return false;
        found->usedAt = now;
        m_lastUsesUnwritten = true;
        due = now - m_lastUsesWritten >= lastUseInterval;
    }
    // A request never waits for another's write: the next use after it writes instead.
    if (due && m_writing.try_lock()) {
        std::lock_guard writing(m_writing, std::adopt_lock);
        (void)keep(now);
    }
    return true;
}

bool PairedDevices::knows(std::string_view key) const
{
    auto digest = foundation::sha256Hex(key);
    std::lock_guard lock(m_mutex);
    return std::any_of(m_devices.begin(), m_devices.end(),
        [&](const Kept& kept) { return tokensEqual(digest, kept.keyDigest); });
}

bool PairedDevices::remove(const std::string& id)
{
    std::lock_guard writing(m_writing);
    {
        std::lock_guard lock(m_mutex);
        auto removed
            = std::erase_if(m_devices, [&](const Kept& kept) { return kept.device.id == id; });
        if (removed == 0)
            return false;
    }
    (void)keep();
    return true;
}

std::optional<std::string> PairedDevices::notice() const
{
    std::lock_guard lock(m_mutex);
    return m_notice;
}

foundation::Result<void> PairedDevices::keep(Clock::time_point now)
{
    std::vector<desktop::SecretEntry> entries;
    {
        std::lock_guard lock(m_mutex);
        for (auto& kept : m_devices) {
            auto device = kept.listed();
            entries.push_back({ entryKind,
                { device.id, device.name, kept.keyDigest, device.paired, device.lastUse } });
        }
        m_lastUsesUnwritten = false;
        m_lastUsesWritten = now;
    }
    auto written = m_store.replaceKind(entryKind, std::move(entries));
    if (!written) {
        std::lock_guard lock(m_mutex);
        m_notice = "The paired devices could not be kept (" + written.error().description()
            + "): they open Pagewyn until it stops.";
    }
    return written;
}

}
