// FailureThrottle: remembers refused attempts per address, so that one address guessing a
// password across the network is slowed down while everyone else is answered at once.
#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace host {

class FailureThrottle {
public:
    using Clock = std::chrono::steady_clock;

    // After `failures` refusals within `window`, every answer to that address waits `delay`.
    FailureThrottle(std::size_t failures = 10, Clock::duration window = std::chrono::minutes(1),
        Clock::duration delay = std::chrono::seconds(1));

    void recordFailure(const std::string& address, Clock::time_point now = Clock::now());
    // How long an answer to the address waits now: zero or the delay.
    Clock::duration delayFor(const std::string& address, Clock::time_point now = Clock::now());

private:
    // Drops the failures older than the window. Called with the mutex held.
    void forget(std::deque<Clock::time_point>& times, Clock::time_point now);

    std::size_t m_failures;
    Clock::duration m_window;
    Clock::duration m_delay;
    std::mutex m_mutex;
    std::unordered_map<std::string, std::deque<Clock::time_point>> m_byAddress;
};

}
