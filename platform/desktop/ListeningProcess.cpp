// Matching the listening sockets of /proc/net/tcp and tcp6 against a process's open files.
#include "platform/desktop/ListeningProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace desktop {

namespace {

constexpr const char* listenState = "0A";

// The inodes of the sockets that listen on the port.
std::set<std::string> listeningInodes(int port)
{
    std::set<std::string> inodes;
    for (const char* table : { "/proc/net/tcp", "/proc/net/tcp6" }) {
        std::ifstream file(table);
        std::string line;
        std::getline(file, line);
        while (std::getline(file, line)) {
            // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout
            // inode
            std::istringstream fields(line);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
            if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits
                    >> uid >> timeout >> inode))
                continue;
            auto colon = local.rfind(':');
            if (state != listenState || colon == std::string::npos)
                continue;
            if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port)
                inodes.insert(inode);
        }
    }
    return inodes;
}

}

bool processListensOnPort(pid_t pid, int port)
{
    if (pid <= 0 || port <= 0)
        return false;
    auto inodes = listeningInodes(port);
    if (inodes.empty())
        return false;
    std::error_code error;
    // Another user's process does not let its open files be read: it is not ours.
    for (auto it
         = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code linkError;
        auto target = std::filesystem::read_symlink(it->path(), linkError).string();
        if (!linkError && target.rfind("socket:[", 0) == 0 && target.back() == ']'
            && inodes.count(target.substr(8, target.size() - 9)))
            return true;
    }
    return false;
}

}
