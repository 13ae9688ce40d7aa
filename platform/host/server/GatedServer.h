// GatedServer: the host's HTTP server with a gate in front of its workers. The server's accepting
// loop hands each connection to a HeadGate instead of a worker; a worker takes a connection only
// when its whole request head is there, answers that one request, and gives a kept-alive
// connection back to the gate to wait for the next. So connections that trickle their heads or
// send nothing hold no worker, and the page's requests never queue behind them.
#pragma once

#include "platform/host/server/HeadGate.h"

#include <httplib.h>
#include <memory>

namespace host {

class GatedServer : public httplib::Server {
public:
    GatedServer(std::size_t workers, HeadGate::Limits limits = {});
    ~GatedServer() override;

    // Stops accepting, closes the waiting connections and waits for the workers' requests to end.
    // Safe to call more than once.
    void stop();

    // Called while a request is handled, by the guard, when the request carried the launch's
    // token: its connection keeps its place at the gate before strangers'.
    static void trustConnection();

    // After binding: lets many connections wait to be accepted. The server's own queue holds
    // five, and the connections beyond wait a second or more to be tried again.
    void widenBacklog();

private:
    bool process_and_close_socket(socket_t socket) override;
    void serve(int socket, std::string received);

    std::unique_ptr<httplib::ThreadPool> m_workers;
    HeadGate m_gate;
    bool m_stopped = false;
};

}
