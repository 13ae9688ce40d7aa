// The forwarding file and the opener process.
#include "platform/host/BrowserOpener.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace host {

namespace {

std::string htmlEscaped(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '"': escaped += "&quot;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

bool writePrivateFile(const std::string& path, const std::string& text)
{
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0)
        return false;
    bool written = ::write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(file);
    return written;
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
    std::string pattern = std::string(runtime && *runtime ? runtime : "/tmp") + "/pagewyn-open-XXXXXX";
    if (!mkdtemp(pattern.data()))
        return false;
    m_folder = pattern;
    std::string page = m_folder + "/open.html";
    std::string escaped = htmlEscaped(address);
    std::string html = "<!doctype html><meta charset=\"utf-8\"><title>Pagewyn</title>"
                       "<meta http-equiv=\"refresh\" content=\"0;url="
        + escaped + "\"><a href=\"" + escaped + "\">Open Pagewyn</a>\n";
    if (!writePrivateFile(page, html))
        return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The opener's chatter would mix with Pagewyn's console lines.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "xdg-open";
    char* arguments[] = { program.data(), page.data(), nullptr };
    pid_t child = 0;
    int failed = posix_spawnp(&child, "xdg-open", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return false;
    // Reaped in the background, so it leaves no zombie behind.
    std::thread([child] {
        int status = 0;
        waitpid(child, &status, 0);
    }).detach();
    return true;
}

}
