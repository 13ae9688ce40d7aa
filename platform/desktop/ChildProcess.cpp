// posix_spawn, so no copy of a large process is made and nothing runs between fork and exec.
#include "platform/desktop/ChildProcess.h"

#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace desktop {

foundation::Result<pid_t> startChild(
    const std::vector<std::string>& words, const ChildOptions& options)
{
    if (words.empty())
        return foundation::Error("no program to start");
    std::vector<std::string> kept = words;
    std::vector<char*> argv;
    for (auto& word : kept)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    for (int stream : { STDOUT_FILENO, STDERR_FILENO }) {
        if (options.output >= 0)
            posix_spawn_file_actions_adddup2(&actions, options.output, stream);
        else
            posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", O_WRONLY, 0);
    }
    if (options.ownSession)
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t child = 0;
    int failed = options.searchPath
        ? posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ)
        : posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0)
        return foundation::Error(words.front() + " could not be started: " + std::strerror(failed));
    return child;
}

}
