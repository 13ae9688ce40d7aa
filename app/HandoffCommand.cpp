// Handing a book file to the running instance of its library, or to one started for it.
#include "app/HandoffCommand.h"

#include "app/BookFiles.h"
#include "platform/desktop/ChildProcess.h"
#include "platform/desktop/HandoffClient.h"
#include "platform/desktop/InstanceFile.h"
#include "platform/foundation/FileManager.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// How long a started instance may take to begin serving, and then to read its library.
constexpr auto startLimit = std::chrono::seconds(30);
constexpr auto readyLimit = std::chrono::minutes(10);

// The one way a hand-over ends without the book in the library: the file as its user named it,
// and why.
int failed(const std::string& file, const std::string& why)
{
    std::cerr << "Can't import " << file << ": " << why << std::endl;
    return 1;
}

std::string documentsFolderFor(const HandoffOptions& options)
{
    if (options.documents)
        foundation::FileManager::setDocumentsDirectoryOverride(*options.documents);
    auto folders = foundation::FileManager().urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    return desktop::normalizedDocumentsFolder(folders.front().path());
}

// Starts this program as the library's instance, in its own session with no terminal, so it
// runs on after this command ends. Answers its process id, or 0.
pid_t startInstance(const HandoffOptions& options, const std::string& documents)
{
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return 0;
    std::vector<std::string> arguments { program.string(), "--documents", documents, "--listen",
        options.listen };
    if (options.port != 0)
        arguments.insert(arguments.end(), { "--port", std::to_string(options.port) });
    if (options.noBrowser)
        arguments.push_back("--no-browser");
    auto child = desktop::startChild(arguments, { .ownSession = true });
    return child ? *child : 0;
}

bool running(pid_t child)
{
    int status = 0;
    return ::waitpid(child, &status, WNOHANG) == 0;
}

// Ends an instance this command started and then gave up on, so that no Pagewyn nobody can
// find goes on running: asked to stop, then made to after a few seconds.
void endStartedInstance(pid_t child)
{
    ::kill(child, SIGTERM);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) != 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
}

// The started instance, once its instance file names it and it answers.
std::optional<desktop::InstanceRecord> startedInstance(pid_t child, const std::string& documents)
{
    auto until = std::chrono::steady_clock::now() + startLimit;
    while (std::chrono::steady_clock::now() < until && running(child)) {
        if (auto record = desktop::findRunningInstance(documents); record && record->pid == child)
            return record;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return std::nullopt;
}

}

int runHandoffCommand(const HandoffOptions& options)
{
    // An instance that refuses the file may close the connection while it is still being sent:
    // that is an answer to report, not a reason to die.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string name = std::filesystem::path(options.file).filename().string();
    if (auto checked = desktop::checkedUploadName(name, bookFiles); !checked)
        return failed(options.file, checked.error().description());
    std::error_code error;
    if (!std::filesystem::is_regular_file(options.file, error))
        return failed(options.file, error ? error.message() : "not a file");

    const std::string documents = documentsFolderFor(options);
    if (auto instance = desktop::findRunningInstance(documents)) {
        if (auto ready = desktop::waitUntilReady(*instance, readyLimit); !ready)
            return failed(options.file, ready.error().description());
        if (auto delivered
            = desktop::handOver(*instance, options.file, bookFiles, !options.noBrowser);
            !delivered)
            return failed(options.file, delivered.error().description());
        std::cout << "Pagewyn: " << name << " was handed to the library at " << instance->origin
                  << std::endl;
        return 0;
    }

    pid_t child = startInstance(options, documents);
    if (child == 0)
        return failed(options.file, "Pagewyn could not be started");
    auto started = startedInstance(child, documents);
    if (!started) {
        endStartedInstance(child);
        return failed(
            options.file, "the Pagewyn started for " + documents + " did not begin serving");
    }
    if (auto ready
        = desktop::waitUntilReady(*started, readyLimit, [child] { return running(child); });
        !ready) {
        endStartedInstance(child);
        return failed(options.file, ready.error().description());
    }
    // The new instance opened its own page as it started.
    if (auto delivered = desktop::handOver(*started, options.file, bookFiles, false); !delivered)
        return failed(options.file, delivered.error().description());
    std::cout << "Pagewyn: " << name << " was handed to a new Pagewyn at " << started->origin
              << "/?token=" << started->token << std::endl;
    return 0;
}
