// Refused attempts per address, within a sliding window.
#include "platform/host/server/FailureThrottle.h"

namespace host {

namespace {
// Addresses tracked at once: past this, the quietest are forgotten, so a flood of addresses
// cannot grow the table without bound.
constexpr std::size_t trackedAddresses = 4096;
}

FailureThrottle::FailureThrottle(
    std::size_t failures, Clock::duration window, Clock::duration delay)
    : m_failures(failures)
    , m_window(window)
    , m_delay(delay)
{
}

void FailureThrottle::forget(std::deque<Clock::time_point>& times, Clock::time_point now)
{
    while (!times.empty() && now - times.front() > m_window)
        times.pop_front();
}

void FailureThrottle::recordFailure(const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    if (m_byAddress.size() >= trackedAddresses && !m_byAddress.count(address)) {
        for (auto& [tracked, times] : m_byAddress)
            forget(times, now);
        std::erase_if(m_byAddress, [](const auto& entry) { return entry.second.empty(); });
        if (m_byAddress.size() >= trackedAddresses) {
            auto quietest = m_byAddress.begin();
            for (auto entry = m_byAddress.begin(); entry != m_byAddress.end(); ++entry) {
                if (entry->second.back() < quietest->second.back())
                    quietest = entry;
            }
            m_byAddress.erase(quietest);
        }
    }
    auto& times = m_byAddress[address];
    forget(times, now);
    times.push_back(now);
    // Only whether the bound is reached matters: older entries beyond it add nothing.
    if (times.size() > m_failures)
        times.pop_front();
}

FailureThrottle::Clock::duration FailureThrottle::delayFor(
    const std::string& address, Clock::time_point now)
{
    std::lock_guard lock(m_mutex);
    auto found = m_byAddress.find(address);
    if (found == m_byAddress.end())
        return Clock::duration::zero();
    forget(found->second, now);
    if (found->second.empty()) {
        m_byAddress.erase(found);
        return Clock::duration::zero();
    }
    return found->second.size() >= m_failures ? m_delay : Clock::duration::zero();
}

}
