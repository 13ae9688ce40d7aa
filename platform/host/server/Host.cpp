// The host's server: its limits, its guard, and its routes.
#include "platform/host/server/Host.h"

#include "platform/ui/ScreenChange.h"

#include "platform/desktop/SecretStore.h"
#include "platform/desktop/SecretStoreFile.h"
#include "platform/host/kosync/SyncRoutes.h"
#include "platform/host/opds/CatalogPassword.h"
#include "platform/host/opds/CatalogRoutes.h"
#include "platform/host/opds/CatalogSettingsRoutes.h"
#include "platform/host/pairing/PairedDevices.h"
#include "platform/host/pairing/PairingRoutes.h"
#include "platform/host/routes/ImageRoutes.h"
#include "platform/host/routes/ReaderRoutes.h"
#include "platform/host/routes/SettingsRoutes.h"
#include "platform/host/routes/StateRoutes.h"
#include "platform/host/routes/WebFileRoutes.h"
#include "platform/host/server/AccessCheck.h"
#include "platform/host/server/AccessToken.h"
#include "platform/host/server/GatedServer.h"
#include "platform/host/server/RequestGuard.h"
#include "platform/host/uploads/UploadRoutes.h"

#include <chrono>
#include <csignal>
#include <httplib.h>
#include <limits>
#include <thread>

namespace host {

namespace {

// Each open page holds a stream while it is open; the pool leaves room for several pages'
// requests besides the streams, and for the catalog's reading apps' places. Connections waiting
// for their requests hold no worker.
constexpr std::size_t workerThreads
    = EventStream::maximumStreams + 24 + WorkerPool::Budget {}.catalogClients.inAll;

std::string urlFor(const std::string& host, int port, const std::string& token)
{
    return "http://" + host + ":" + std::to_string(port) + "/?token=" + token;
}

}

Host::Host(HostOptions options, ui::MainLoop& loop)
    : m_options(std::move(options))
    , m_loop(loop)
    , m_token(makeAccessToken())
    , m_state(loop, m_stream, pageWordsJson(m_options.words, m_options.upload.kind),
          m_options.sharedStateCount)
    , m_files(m_options.webRoot.empty() ? std::string(PAGEWYN_WEB_DIR) : m_options.webRoot)
{
    // A row's picture that arrived by itself is drawn by every page.
    m_previousScreenChangeListener
        = ui::setScreenChangeListener([this] { m_state.screenChanged(); });
}

Host::~Host()
{
    stop();
    ui::setScreenChangeListener(std::move(m_previousScreenChangeListener));
}

std::string Host::address() const
{
    return urlFor(m_options.listen.publicHost(), m_port, m_token);
}

std::string Host::localAddress() const
{
    return urlFor(m_options.listen.localHost(), m_port, m_token);
}

std::string Host::localOrigin() const
{
    return "http://" + m_options.listen.localHost() + ":" + std::to_string(m_port);
}

std::vector<std::string> Host::catalogAddresses() const
{
    return m_options.catalog ? host::catalogAddresses(m_options.listen, m_port)
                             : std::vector<std::string>();
}

foundation::Result<void> Host::start()
{
    if (m_server)
        return foundation::Error("the host is already serving");
    // A page closed while its answer is written must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    m_server = std::make_unique<GatedServer>(workerThreads);
    auto& server = *m_server;
    // Streamed uploads may be large; every other body is held to largestBody before routing.
    server.set_payload_max_length(std::numeric_limits<std::size_t>::max());
    server.set_read_timeout(10);
    // A reader that takes no byte of its answer for this long is gone, or holding a worker on
    // purpose: its connection is closed.
    server.set_write_timeout(4);
    // An answer goes out as its headers, then its body: without this the body waits for the
    // browser's delayed acknowledgement of the headers, some 40 ms on every snapshot.
    server.set_tcp_nodelay(true);
    if (m_options.listen.isIPv6())
        server.set_address_family(AF_INET6);
    // One program per address: the library's default lets a second process listen on the same
    // port (SO_REUSEPORT), and the system would then hand each connection to either. Only a port
    // left in TIME_WAIT by an earlier run may be taken again.
    server.set_socket_options([](socket_t socket) {
        int on = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });

    const auto& bindAddress = m_options.listen.bindAddress();
    bool bound = false;
    if (m_options.port == 0) {
        m_port = server.bind_to_any_port(bindAddress);
        bound = m_port > 0;
    } else {
        m_port = m_options.port;
        bound = server.bind_to_port(bindAddress, m_port);
    }
    if (!bound) {
        m_server.reset();
        if (m_options.port == 0)
            return foundation::Error(
                "cannot listen on " + bindAddress + ": " + listenRefusal(m_options.listen, 0));
        return foundation::Error("cannot listen on " + bindAddress + " port "
            + std::to_string(m_options.port) + ": "
            + listenRefusal(m_options.listen, m_options.port));
    }
    server.widenBacklog();
    m_secrets = std::make_unique<desktop::SecretStoreFile>(
        m_options.secretStorePath.empty() ? desktop::secretStorePath() : m_options.secretStorePath);
    m_devices = std::make_unique<PairedDevices>(*m_secrets);
    RequestGuard::PasswordCheck catalogPassword;
    RequestGuard::AccountCheck syncAccount;
    if (m_options.catalog) {
        m_catalogPassword = std::make_unique<CatalogPassword>(*m_secrets);
        catalogPassword = [password = m_catalogPassword.get()](
                              std::string_view presented) { return password->matches(presented); };
        // The sync's one account is the catalog's: its user name, and its password's digest.
        syncAccount
            = [password = m_catalogPassword.get()](std::string_view user, std::string_view key) {
                  return user == catalogUserName && password->matchesSyncKey(key);
              };
        m_pushedPlaces = std::make_unique<PushedPlaces>(m_options.pushedPlacesPath);
    }
    auto deviceKey = [devices = m_devices.get()](
                         std::string_view presented) { return devices->admits(presented); };
    auto deviceKnown = [devices = m_devices.get()](
                           std::string_view presented) { return devices->knows(presented); };
    m_guard = std::make_unique<RequestGuard>(m_token, m_options.listen.acceptedHosts(m_port),
        std::move(catalogPassword), deviceKey, deviceKnown, std::move(syncAccount));
    server.setGuard(*m_guard);
    installRoutes();
    m_thread = std::thread([&server] { server.listen_after_bind(); });
    // The server may only be stopped once its loop runs: a stop that comes first is lost, and
    // the loop would then never end.
    for (int waited = 0; !server.is_running() && waited < 5000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server.is_running()) {
        server.stop();
        return foundation::Error("the host did not start serving");
    }
    return {};
}

WorkerPool::Load Host::workerLoad() const
{
    return m_server ? m_server->load() : WorkerPool::Load {};
}

void Host::stop()
{
    m_state.close();
    m_stream.close();
    if (m_server)
        m_server->stop();
    if (m_thread.joinable())
        m_thread.join();
    m_server.reset();
}

void Host::installRoutes()
{
    auto& server = *m_server;
    installAccessCheck(server, *m_guard, largestBody);
    installStateRoutes(server, m_state, m_stream);
    installReaderRoutes(server, m_loop);
    installUploadRoutes(server, m_loop, m_state, m_stream, m_options.upload);
    // The files the application takes are the ones it lists: the page counts those.
    installSettingsRoutes(
        server, m_options.upload.kind.ending, m_options.runsAsService, m_options.libraryHighlights);
    installPairingRoutes(server, *m_devices, *m_guard, m_options.listen, m_port);
    installImageRoutes(server, m_state.images());
    installPassageRoutes(server, m_options.libraryPassages);
    if (m_options.catalog) {
        installCatalogRoutes(server, m_loop, m_options.catalog);
        installCatalogSettingsRoutes(
            server, m_options.listen, m_port, *m_catalogPassword, *m_guard);
        installSyncRoutes(server, *m_pushedPlaces, m_options.sync);
    }
    installWebFileRoutes(server, m_files);
}

}
