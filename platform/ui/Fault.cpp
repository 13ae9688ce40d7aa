// The fault record.
#include "platform/ui/Fault.h"

#include "platform/foundation/Console.h"

#include <mutex>
#include <utility>

namespace ui {

namespace {
struct FaultRecord {
    std::mutex lock;
    std::vector<std::string> faults;
};

FaultRecord& record()
{
    static FaultRecord shared;
    return shared;
}
}

void reportFault(std::string_view description)
{
    foundation::console("Fault: " + std::string(description));
    auto& shared = record();
    std::lock_guard guard(shared.lock);
    // Bounded, so a fault repeated in a loop cannot exhaust memory.
    if (shared.faults.size() < 1000)
        shared.faults.emplace_back(description);
}

std::vector<std::string> takeFaults()
{
    auto& shared = record();
    std::lock_guard guard(shared.lock);
    return std::exchange(shared.faults, {});
}

std::size_t faultCount()
{
    auto& shared = record();
    std::lock_guard guard(shared.lock);
    return shared.faults.size();
}

}
