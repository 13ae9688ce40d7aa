// Fuzz target: a request head as anyone on the network may send it, read at the gate before the
// server parses it (readRequestHead), then weighed by the guard as it queues (admission) and as
// it is served (check): its Host, origin, token, device key and HTTP Basic credentials.
//
// The guard's secrets are fixed, so a finding replays from its input alone. Whatever the head,
// no credential is granted that it does not carry.
#include "platform/host/server/RequestGuard.h"
#include "platform/host/server/RequestHead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view token
    = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
constexpr std::string_view password = "catalogpassword23456789abc";
constexpr std::string_view deviceKey
    = "fedcba9876543210fedcba9876543210fedcba9876543210fedcba9876543210";

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const host::RequestGuard guard(
        std::string(token), { "127.0.0.1:8080", "localhost:8080" },
        [](std::string_view presented) { return presented == password; },
        [](std::string_view presented) { return presented == deviceKey; });
    std::string_view head(reinterpret_cast<const char*>(data), size);
    httplib::Request request;
    request.remote_addr = "192.0.2.1";
    if (!host::readRequestHead(head, request))
        return 0;
    auto admission = guard.admission(request);
    auto decision = guard.check(request);
    bool carries = head.find(token) != std::string_view::npos
        || head.find(deviceKey) != std::string_view::npos;
    if (admission.credential == host::WorkerPool::Credential::trusted && !carries)
        std::abort();
    if ((decision.byToken || decision.byDevice) && !carries)
        std::abort();
    if (admission.download && request.path.rfind("/opds/download/", 0) != 0)
        std::abort();
    if (!decision.allowed && decision.reason.empty())
        std::abort();
    return 0;
}
