// The per-launch secret that every request to the host must carry: made once at start-up from
// the system's random source, handed over in the printed address, then kept by the page and sent
// in a header (never in a cookie, which the browser would send to every port of this machine).
#pragma once

#include <string>
#include <string_view>

namespace host {

// 32 random bytes as 64 lower-case hex digits.
std::string makeAccessToken();

// Compares in time that depends only on the lengths, so the secret cannot be guessed digit by
// digit from how long a refusal takes.
bool tokensEqual(std::string_view presented, std::string_view expected);

}
