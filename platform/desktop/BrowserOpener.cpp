// The forwarding file and the opener process.
#include "platform/desktop/BrowserOpener.h"

#include "platform/desktop/DesktopOpener.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/markupEscaped.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {

bool writePrivateFile(const std::string& path, const std::string& text)
{
    foundation::FileDescriptor file(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    return file.isOpen() && foundation::writeAll(file.get(), text.data(), text.size());
}

}

BrowserOpener::~BrowserOpener()
{
    if (m_folder.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
}

bool BrowserOpener::open(const std::string& address)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string pattern
        = std::string(runtime && *runtime ? runtime : "/tmp") + "/pagewyn-open-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return false;
    m_folder = pattern;
    std::string page = m_folder + "/open.html";
    std::string escaped = foundation::markupEscaped(address);
    std::string html = "<!doctype html><meta charset=\"utf-8\"><title>Pagewyn</title>"
                       "<meta http-equiv=\"refresh\" content=\"0;url="
        + escaped + "\"><a href=\"" + escaped + "\">Open Pagewyn</a>\n";
    if (!writePrivateFile(page, html))
        return false;

    return static_cast<bool>(startDesktopProgram("xdg-open", { page }));
}

}
