// The QR code of an address, for a phone's camera: its modules as rows of '1' (dark) and '0'.
#pragma once

#include <string>
#include <vector>

namespace host {

// Encoded by libqrencode, error correction level M; empty when the text cannot be encoded.
std::vector<std::string> qrCodeRows(const std::string& text);

}
