// A name is never taken into the header as it is: quotes, backslashes, percent signs and bytes
// beyond ASCII would be read otherwise by one client or another.
#include "platform/host/server/Attachment.h"

#include "platform/foundation/URL.h"

#include <httplib.h>

namespace host {

std::string attachment(const std::string& name)
{
    std::string plain;
    for (unsigned char c : name)
        plain += (c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '%') ? char(c) : '_';
    return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''"
        + foundation::percentEncoded(name, "-._~");
}

void sendExportedFile(httplib::Response& response, const ui::ExportedFile& file)
{
    response.status = 200;
    response.set_header("Content-Disposition", attachment(file.fileName));
    response.set_header("Cache-Control", "no-store");
    response.set_content(file.bytes, file.mediaType);
}

}
