// One thread waits for the signals with sigwait; no handler runs inside a signal.
#include "platform/desktop/StopSignals.h"

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace desktop {

namespace {
std::mutex cleanupLock;
std::function<void()> cleanupAtExit;
}

void beforeAbruptExit(std::function<void()> cleanup)
{
    std::lock_guard guard(cleanupLock);
    cleanupAtExit = std::move(cleanup);
}

void stopOnSignals(std::function<void()> stop)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals, stop = std::move(stop)] {
        int received = 0;
        if (sigwait(&signals, &received) != 0)
            return;
        stop();
        // A second signal while the program winds down ends it without waiting.
        if (sigwait(&signals, &received) == 0) {
            {
                std::lock_guard guard(cleanupLock);
                if (cleanupAtExit)
                    cleanupAtExit();
            }
            _exit(128 + received);
        }
    }).detach();
}

}
