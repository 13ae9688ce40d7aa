// `pagewyn --address`: prints the address, with its token, of the Pagewyn that serves the
// library, so that the user of a service (whose start printed it to no one) can open this
// computer's screen.
#pragma once

#include <optional>
#include <string>

// 0 with the address on standard output; 1 with "pagewyn: no Pagewyn serves the library DIR" on
// standard error when none does. documents: the library folder, the platform's default when
// absent.
int runAddressCommand(const std::optional<std::string>& documents);
