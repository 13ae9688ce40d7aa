// The head gate: a whole head goes through with its bytes, a head that is not whole by the
// deadline is closed, and too many waiting connections from one peer close the oldest stranger
// first, never one whose last request carried the token while a stranger is left.
#include "platform/host/server/HeadGate.h"

#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct Pair {
    int ours = -1;
    int theirs = -1;
    Pair()
    {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, ends) == 0) {
            ours = ends[0];
            theirs = ends[1];
        }
    }
    ~Pair() { ::close(ours); }
    // Waits (at most 5 s) until the gate closed its end or handed it on.
    bool closedByGate() const
    {
        pollfd watched { ours, POLLIN, 0 };
        char byte;
        return ::poll(&watched, 1, 5000) == 1 && ::recv(ours, &byte, 1, MSG_DONTWAIT) == 0;
    }
};

struct Handed {
    std::mutex lock;
    std::vector<std::pair<int, std::string>> sockets;
    void take(int socket, std::string received)
    {
        std::lock_guard guard(lock);
        sockets.emplace_back(socket, std::move(received));
    }
    std::size_t count()
    {
        std::lock_guard guard(lock);
        return sockets.size();
    }
};

TEST(HeadGate, aWholeHeadGoesToAWorkerWithItsBytesAndAnUnfinishedOneIsClosedAtItsDeadline)
{
    Handed handed;
    host::HeadGate gate({ std::chrono::milliseconds(200) },
        [&](int socket, std::string received, bool) { handed.take(socket, std::move(received)); });
    Pair whole, trickling, silent;
    std::string head = "GET /state HTTP/1.1\r\nHost: x\r\n\r\nGET /ne";
    ::send(whole.ours, head.data(), head.size(), 0);
    ::send(trickling.ours, "GET / HTTP/1.1\r\n", 16, 0);
    gate.admit(whole.theirs);
    gate.admit(trickling.theirs);
    gate.admit(silent.theirs);
    EXPECT_TRUE(trickling.closedByGate());
    EXPECT_TRUE(silent.closedByGate());
    ASSERT_EQ(handed.count(), 1u);
    EXPECT_EQ(handed.sockets[0].first, whole.theirs);
    EXPECT_EQ(handed.sockets[0].second, head);
    // A kept-alive connection given back with the next head already read goes straight on.
    gate.admit(whole.theirs, "GET /state HTTP/1.1\r\n\r\n", true);
    EXPECT_EQ(handed.count(), 2u);
    ::close(whole.theirs);
}

TEST(HeadGate, tooManyWaitingFromOnePeerCloseTheOldestStrangerFirst)
{
    Handed handed;
    host::HeadGate gate({ std::chrono::seconds(60), 2, 4 },
        [&](int socket, std::string received, bool) { handed.take(socket, std::move(received)); });
    Pair page, firstStranger, secondStranger, thirdStranger, fourthStranger;
    gate.admit(page.theirs, {}, true);
    gate.admit(firstStranger.theirs);
    gate.admit(secondStranger.theirs);
    gate.admit(thirdStranger.theirs);
    EXPECT_TRUE(firstStranger.closedByGate());
    EXPECT_EQ(gate.waitingCount(), 3u);
    // The next stranger closes the oldest stranger again; the page keeps its place.
    gate.admit(fourthStranger.theirs);
    EXPECT_TRUE(secondStranger.closedByGate());
    EXPECT_EQ(gate.waitingCount(), 3u);
    gate.stop();
    EXPECT_TRUE(page.closedByGate());
    EXPECT_EQ(handed.count(), 0u);
}

}
