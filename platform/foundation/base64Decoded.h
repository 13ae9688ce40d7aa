// Base64 (RFC 4648, with padding optional) decoded: the credentials of HTTP Basic authentication.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// The bytes, or nothing when the text holds anything but the alphabet and trailing padding.
std::optional<std::string> base64Decoded(std::string_view text);

}
