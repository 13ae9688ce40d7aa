// GatedServer: the host's HTTP server with a gate in front of its workers. The server's accepting
// loop hands each connection to a HeadGate instead of a worker; a worker takes a connection only
// when its whole request head is there, answers that one request, and gives a kept-alive
// connection back to the gate to wait for the next. So connections that trickle their heads or
// send nothing hold no worker, and the page's requests never queue behind them. A whole head is
// read for its credential before it queues (RequestGuard::admission): the workers take the
// token's and paired devices' requests first, the catalog's reading apps and strangers each
// within a budget of their own (WorkerPool); an answer that its reader takes no bytes of for the
// write timeout ends its connection, and answers without the token or a device key have only a
// small send buffer in the kernel. A connection answered without its whole body is closed.
#pragma once

#include "platform/host/server/HeadGate.h"
#include "platform/host/server/RequestGuard.h"
#include "platform/host/server/WorkerPool.h"

#include <httplib.h>
#include <memory>
#include <mutex>
#include <set>

namespace host {

class GatedServer : public httplib::Server {
public:
    GatedServer(std::size_t workers, HeadGate::Limits limits = {}, WorkerPool::Budget budget = {});
    ~GatedServer() override;

    // What places a request among the workers; without it every request is a stranger's. The
    // guard outlives the server's serving.
    void setGuard(const RequestGuard& guard) { m_guard = &guard; }
    // How many connections each budget serves and holds waiting now.
    WorkerPool::Load load() const { return m_workers->load(); }

    // Stops accepting, closes the waiting connections, ends the answers being written (their
    // readers may never read) and waits for the workers' requests to end. Safe to call more
    // than once.
    void stop();

    // After binding: lets many connections wait to be accepted. The server's own queue holds
    // five, and the connections beyond wait a second or more to be tried again.
    void widenBacklog();

private:
    bool process_and_close_socket(socket_t socket) override;
    void serve(WorkerPool::Connection connection);
    // The sockets workers are answering on, so that a stop can end them. False once stopping.
    bool startServing(int socket);
    void endServing(int socket);

    // Where a whole head goes: to the worker pool, in its place.
    void admitToWorkers(int socket, std::string received, bool trusted);

    const RequestGuard* m_guard = nullptr;
    std::unique_ptr<WorkerPool> m_workers;
    HeadGate m_gate;
    std::mutex m_servingLock;
    std::set<int> m_serving;
    bool m_stopping = false;
    bool m_stopped = false;
};

}
