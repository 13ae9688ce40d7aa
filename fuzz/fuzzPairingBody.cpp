// Fuzz target: what anyone on the network may send the pairing route. The input is the request's
// body, a line break, and its user agent. The body's code is read as the route reads it
// (pairingField) and redeemed against devices that have just given out one code of their own.
// Whatever is sent, a guess is refused and leaves no device and no key behind; the code given out
// still pairs once, and only once.
#include "fuzz/ScratchFolder.h"
#include "platform/desktop/SecretStoreFile.h"
#include "platform/host/pairing/PairedDevices.h"
#include "platform/host/pairing/PairingRoutes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static desktop::SecretStoreFile store(fuzzing::ScratchFolder::shared().freshPath("secrets"));
    static host::PairedDevices devices(store);

    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto lineBreak = input.find('\n');
    std::string_view body = input.substr(0, lineBreak);
    std::string_view userAgent
        = lineBreak == std::string_view::npos ? std::string_view() : input.substr(lineBreak + 1);

    const std::string issued = devices.newCode();
    auto code = host::pairingField(body, "code");
    auto key = devices.redeem(code.value_or(""), userAgent);
    if (key && code != issued)
        std::abort();
    if (!devices.devices().empty())
        std::abort();
    // The code given out is still good, once; the key it gives is admitted, then removed again.
    auto paired = devices.redeem(issued, userAgent);
    if (!paired || !devices.admits(*paired) || devices.redeem(issued, userAgent))
        std::abort();
    for (const auto& device : devices.devices())
        devices.remove(device.id);
    if (devices.admits(*paired))
        std::abort();
    return 0;
}
