// QR codes through libqrencode.
#include "platform/host/opds/QrCode.h"

#include <qrencode.h>

namespace host {

std::vector<std::string> qrCodeRows(const std::string& text)
{
    QRcode* code = QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M);
    if (!code)
        return {};
    std::vector<std::string> rows;
    for (int y = 0; y < code->width; ++y) {
        std::string row;
        for (int x = 0; x < code->width; ++x)
            row += (code->data[y * code->width + x] & 1) ? '1' : '0';
        rows.push_back(std::move(row));
    }
    QRcode_free(code);
    return rows;
}

}
