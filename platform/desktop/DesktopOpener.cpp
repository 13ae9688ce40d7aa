// The program's output goes into an anonymous file (never a pipe, whose reader would have to
// stay, or whose writers would die of a broken pipe once it left); the outcome is awaited through a
// process descriptor, and a thread that reaps the child otherwise.
#include "platform/desktop/DesktopOpener.h"

#include "platform/desktop/ChildProcess.h"
#include "platform/foundation/FileDescriptor.h"

#include <cerrno>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace desktop {

namespace {

// What a failed program printed, as much as a message can carry, on one line.
constexpr std::size_t printedKept = 400;

std::string printedText(int output)
{
    std::string text(printedKept, '\0');
    auto read = ::pread(output, text.data(), text.size(), 0);
    text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    for (char& character : text) {
        if (static_cast<unsigned char>(character) < 0x20)
            character = ' ';
    }
    auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

std::string endingText(const std::string& program, int status, const std::string& printed)
{
    std::string text = WIFSIGNALED(status)
        ? program + " was ended by signal " + std::to_string(WTERMSIG(status))
        : program + " ended with status " + std::to_string(WEXITSTATUS(status));
    return printed.empty() ? text : text + ": " + printed;
}

// Answers whether the child ended within the patience, leaving its status.
bool endedWithin(pid_t child, std::chrono::milliseconds patience, int& status)
{
    if (patience.count() <= 0)
        return false;
    foundation::FileDescriptor process(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
    if (!process.isOpen())
        return false;
    pollfd watched { process.get(), POLLIN, 0 };
    int ready = 0;
    do
        ready = ::poll(&watched, 1, static_cast<int>(patience.count()));
    while (ready < 0 && errno == EINTR);
    return ready > 0 && ::waitpid(child, &status, 0) == child;
}

}

foundation::Result<void> startDesktopProgram(const std::string& program,
    const std::vector<std::string>& arguments, std::chrono::milliseconds patience)
{
    std::vector<std::string> words { program };
    words.insert(words.end(), arguments.begin(), arguments.end());
    foundation::FileDescriptor output(
        patience.count() > 0 ? ::memfd_create("pagewyn-opener-output", MFD_CLOEXEC) : -1);
    auto started
        = startChild(words, { .searchPath = true, .output = output.isOpen() ? output.get() : -1 });
    if (!started)
        return started.error();
    pid_t child = *started;
    int status = 0;
    if (endedWithin(child, patience, status)) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return {};
        return foundation::Error(endingText(program, status, printedText(output.get())));
    }
    std::thread([child] {
        int ended = 0;
        waitpid(child, &ended, 0);
    }).detach();
    return {};
}

}
