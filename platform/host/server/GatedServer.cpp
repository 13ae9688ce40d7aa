// The gated server: an accepting loop that only admits, workers that serve one whole request at
// a time, and the stream a request is read from — first the bytes the gate read, then the socket.
#include "platform/host/server/GatedServer.h"

#include "platform/host/server/RequestHead.h"
#include "platform/host/server/SocketAddress.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

// GatedServer stands on cpp-httplib's own members, not its public interface: it overrides
// process_and_close_socket, calls process_request with a Stream of its own, and reads svr_sock_,
// the timeouts and new_task_queue. The build takes exactly the version this was written and
// tested against (the host tests drive keep-alive, bodies left unread, ranges and stops through
// it); before moving to another, read those members in it again.
static_assert(std::string_view(CPPHTTPLIB_VERSION) == "0.11.4",
    "GatedServer is written against cpp-httplib 0.11.4's own members");

namespace host {

namespace {

// The kernel's buffer for an answer without the token or a device key (it doubles what is
// asked): enough for a page's files on this machine, little to hold for a reader that takes
// nothing.
constexpr int strangersSendBuffer = 64 * 1024;

// The accepting loop runs a connection's task at once: all it does is give the socket to the gate.
class AdmitAtOnce : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> task) override { task(); }
    void shutdown() override { }
};

bool waitFor(int socket, short events, time_t seconds, time_t microseconds)
{
    pollfd watched { socket, events, 0 };
    int milliseconds = static_cast<int>(seconds * 1000 + microseconds / 1000);
    for (;;) {
        int got = ::poll(&watched, 1, milliseconds);
        if (got < 0 && errno == EINTR)
            continue;
        return got > 0 && !(watched.revents & POLLNVAL);
    }
}

// A connection's bytes: what the gate already read, then the socket, with the server's timeouts.
class GatedStream : public httplib::Stream {
public:
    GatedStream(int socket, std::string received, timeval readTimeout, timeval writeTimeout)
        : m_socket(socket)
        , m_buffer(std::move(received))
        , m_read(readTimeout)
        , m_write(writeTimeout)
    {
    }

    bool is_readable() const override
    {
        return m_offset < m_buffer.size()
            || waitFor(m_socket, POLLIN, m_read.tv_sec, m_read.tv_usec);
    }
    bool is_writable() const override
    {
        return waitFor(m_socket, POLLOUT, m_write.tv_sec, m_write.tv_usec);
    }

    ssize_t read(char* into, size_t size) override
    {
        if (m_offset == m_buffer.size()) {
            if (!is_readable())
                return -1;
            m_buffer.resize(16 * 1024);
            m_offset = 0;
            ssize_t got;
            do
                got = ::recv(m_socket, m_buffer.data(), m_buffer.size(), 0);
            while (got < 0 && errno == EINTR);
            m_buffer.resize(got > 0 ? std::size_t(got) : 0);
            if (got <= 0)
                return got;
        }
        auto taken = std::min(size, m_buffer.size() - m_offset);
        std::copy_n(m_buffer.data() + m_offset, taken, into);
        m_offset += taken;
        m_taken += taken;
        return static_cast<ssize_t>(taken);
    }

    // Never blocks past the write timeout: the socket's buffer may have room for a few bytes
    // only, and a blocking send would wait for the reader to take all the rest.
    ssize_t write(const char* from, size_t size) override
    {
        for (;;) {
            if (!is_writable())
                return -1;
            ssize_t sent = ::send(m_socket, from, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
                return sent;
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        fill(socketAddress(m_socket, true), ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        fill(socketAddress(m_socket, false), ip, port);
    }
    socket_t socket() const override { return m_socket; }

    // What was read but not yet taken: the start of the next request, when the page sent it early.
    std::string unread() const { return m_buffer.substr(m_offset); }
    // The bytes the server has taken so far: its head, then as much of its body as it read.
    std::size_t taken() const { return m_taken; }

private:
    static void fill(const SocketAddress& address, std::string& ip, int& port)
    {
        ip = address.ip;
        if (address.port)
            port = address.port;
    }

    int m_socket;
    std::string m_buffer;
    std::size_t m_offset = 0;
    std::size_t m_taken = 0;
    timeval m_read;
    timeval m_write;
};

}

GatedServer::GatedServer(std::size_t workers, HeadGate::Limits limits, WorkerPool::Budget budget)
    : m_workers(std::make_unique<WorkerPool>(workers, budget,
        [this](WorkerPool::Connection connection) { serve(std::move(connection)); }))
    , m_gate(limits, [this](int socket, std::string received, bool trusted) {
        admitToWorkers(socket, std::move(received), trusted);
    })
{
    new_task_queue = [] { return new AdmitAtOnce; };
}

void GatedServer::admitToWorkers(int socket, std::string received, bool trusted)
{
    WorkerPool::Connection connection { socket, {}, socketAddress(socket, true).ip };
    httplib::Request head;
    head.remote_addr = connection.peer;
    if (m_guard && readRequestHead(received, head)) {
        auto admission = m_guard->admission(head);
        connection.credential = admission.credential;
        connection.headTrusted = admission.credential == WorkerPool::Credential::trusted;
        connection.download = admission.download;
        if (admission.delay > admission.delay.zero())
            connection.notBefore = WorkerPool::Clock::now() + admission.delay;
    }
    // A kept-alive connection whose last request carried the token or a device key is the page's
    // or the device's: its pictures and files without a header load as theirs.
    if (trusted)
        connection.credential = WorkerPool::Credential::trusted;
    connection.received = std::move(received);
    m_workers->enqueue(std::move(connection));
}

GatedServer::~GatedServer()
{
    stop();
}

void GatedServer::stop()
{
    httplib::Server::stop();
    if (m_stopped)
        return;
    m_stopped = true;
    m_gate.stop();
    {
        std::lock_guard guard(m_servingLock);
        m_stopping = true;
        for (int socket : m_serving)
            ::shutdown(socket, SHUT_RDWR);
    }
    m_workers->stop();
}

bool GatedServer::startServing(int socket)
{
    std::lock_guard guard(m_servingLock);
    if (m_stopping)
        return false;
    m_serving.insert(socket);
    return true;
}

void GatedServer::endServing(int socket)
{
    std::lock_guard guard(m_servingLock);
    m_serving.erase(socket);
}

void GatedServer::widenBacklog()
{
    ::listen(svr_sock_, SOMAXCONN);
}

bool GatedServer::process_and_close_socket(socket_t socket)
{
    int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_gate.admit(socket);
    return true;
}

void GatedServer::serve(WorkerPool::Connection connection)
{
    const int socket = connection.socket;
    if (!startServing(socket)) {
        ::close(socket);
        return;
    }
    if (connection.credential != WorkerPool::Credential::trusted)
        ::setsockopt(
            socket, SOL_SOCKET, SO_SNDBUF, &strangersSendBuffer, sizeof strangersSendBuffer);
    GatedStream stream(socket, std::move(connection.received),
        { read_timeout_sec_, read_timeout_usec_ }, { write_timeout_sec_, write_timeout_usec_ });
    bool closed = false;
    std::size_t headLength = 0;
    std::size_t declaredBody = 0;
    bool chunked = false;
    // Answers go uncompressed: compressing a page's files saved no time, and brotli's working
    // memory on every worker that sends a file raised the host's size.
    bool answered = process_request(stream, false, closed, [&](httplib::Request& request) {
        request.headers.erase("Accept-Encoding");
        headLength = stream.taken();
        chunked = request.has_header("Transfer-Encoding");
        declaredBody
            = std::strtoull(request.get_header_value("Content-Length").c_str(), nullptr, 10);
    });
    endServing(socket);
    // A request answered without its whole body (refused, too large, its length said two ways)
    // leaves bytes that are no request head: read on, they would be taken for further requests.
    bool bodyLeft = chunked || stream.taken() - headLength != declaredBody;
    if (!answered || closed || bodyLeft || !is_running()) {
        ::shutdown(socket, SHUT_RDWR);
        ::close(socket);
        return;
    }
    m_gate.admit(socket, stream.unread(), connection.headTrusted);
}

}
