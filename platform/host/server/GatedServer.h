// GatedServer: the host's HTTP server with a gate in front of its workers. The server's accepting
// loop hands each connection to a HeadGate instead of a worker; a worker takes a connection only
// when its whole request head is there, answers that one request, and gives a kept-alive
// connection back to the gate to wait for the next. So connections that trickle their heads or
// send nothing hold no worker, and the page's requests never queue behind them. The workers take
// the token's requests first and strangers' within a budget (WorkerPool); an answer that its
// reader takes no bytes of for the write timeout ends its connection, and strangers' answers
// have only a small send buffer in the kernel.
#pragma once

#include "platform/host/server/HeadGate.h"
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

    // The launch's token: a request head carrying it is served ahead of strangers.
    void setAccessToken(std::string token) { m_token = std::move(token); }

    // Stops accepting, closes the waiting connections, ends the answers being written (their
    // readers may never read) and waits for the workers' requests to end. Safe to call more
    // than once.
    void stop();

    // Called while a request is handled, by the guard, when the request carried the launch's
    // token or a paired device's key: its connection keeps its place at the gate before
    // strangers'.
    static void trustConnection();

    // After binding: lets many connections wait to be accepted. The server's own queue holds
    // five, and the connections beyond wait a second or more to be tried again.
    void widenBacklog();

private:
    bool process_and_close_socket(socket_t socket) override;
    void serve(WorkerPool::Connection connection);
    // The sockets workers are answering on, so that a stop can end them. False once stopping.
    bool startServing(int socket);
    void endServing(int socket);

    std::string m_token;
    std::unique_ptr<WorkerPool> m_workers;
    HeadGate m_gate;
    std::mutex m_servingLock;
    std::set<int> m_serving;
    bool m_stopping = false;
    bool m_stopped = false;
};

}
