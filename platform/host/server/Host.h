// Host: the HTTP server inside the program that serves the application to a browser. It serves
// the renderer, the state snapshot, the pages' events, the change stream, the images the view
// tree shows and the stand-in fonts — only to requests that name this host and come from its own
// page, and all but the renderer's files, pictures and book files only to requests that carry
// the launch's token in a header (RequestGuard). Its workers see a connection only once its
// request head is whole (GatedServer). Everything it asks of the application runs on the main
// loop. Each browser tab has a window of the application of its own (ScreenWindows).
#pragma once

#include "platform/foundation/Result.h"
#include "platform/host/kosync/SyncLibrary.h"
#include "platform/host/opds/CatalogLibrary.h"
#include "platform/host/routes/PassageRoutes.h"
#include "platform/host/routes/SettingsRoutes.h"
#include "platform/host/server/EventStream.h"
#include "platform/host/server/ListenAddress.h"
#include "platform/host/server/PageWords.h"
#include "platform/host/server/StateService.h"
#include "platform/host/server/WebFiles.h"
#include "platform/host/server/WorkerPool.h"
#include "platform/host/uploads/UploadOptions.h"
#include "platform/ui/MainLoop.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace desktop {
class SecretStoreFile;
}

namespace host {

class CatalogPassword;
class GatedServer;
class PairedDevices;
class PushedPlaces;
class RequestGuard;

struct HostOptions {
    ListenAddress listen = ListenAddress::loopback();
    // 0: any free port.
    int port = 0;
    // Where the renderer's files are read from; empty: where this build keeps them.
    std::string webRoot;
    // Where picked and handed-over files are streamed, and how much is taken.
    UploadOptions upload;
    // What the page's own texts call the application's items.
    PageWords words;
    // The library the catalog for reading apps shows (/opds); none, no catalog.
    std::shared_ptr<CatalogLibrary> catalog;
    // The progress sync for reading devices (/kosync), behind the catalog's account: the books it
    // matches documents to (none: documents are kept, matched to no book), and the file of pushed
    // places (empty: kept in memory). Served only with the catalog.
    std::shared_ptr<SyncLibrary> sync;
    std::string pushedPlacesPath;
    // Where the catalog's password and the paired devices are kept; empty: the user's secret
    // store.
    std::string secretStorePath;
    // A number that moves whenever what every window shows changes, so that each browser's window
    // shows another's change before it is next looked at; none, every window is taken as current.
    StateService::SharedCount sharedStateCount;
    // The library's highlights as one file, made on a worker thread; none, the settings page
    // offers none.
    LibraryHighlights libraryHighlights;
    // Passages from the books' text for the search field, found on a worker thread; none, the
    // field finds books by title and author alone.
    LibraryPassages libraryPassages;
    // Started by the user service, which keeps it serving after login; the settings page says so.
    bool runsAsService = false;
};

class Host {
public:
    explicit Host(HostOptions options = {}, ui::MainLoop& loop = ui::MainLoop::main());
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Binds the port and starts serving; an error when the address or port cannot be had.
    foundation::Result<void> start();
    // Ends every stream and request and stops serving. Safe to call more than once.
    void stop();

    int port() const { return m_port; }
    const std::string& token() const { return m_token; }
    // The address to print, with the token: where other devices reach the host when it serves
    // them, else loopback.
    std::string address() const;
    // The address for a browser on this machine, with the token.
    std::string localAddress() const;
    // "http://host:port": where programs on this machine reach the host.
    std::string localOrigin() const;

    StateService& state() { return m_state; }
    // Whether a request would be let in now, and how long its answer would wait.
    const RequestGuard& guard() const { return *m_guard; }
    // How many connections each budget of the workers serves and holds waiting now.
    WorkerPool::Load workerLoad() const;
    // The catalog's address on each address the host listens on; none without a catalog.
    std::vector<std::string> catalogAddresses() const;

    // Request bodies larger than this are refused (413) before they are read, except the streamed
    // files of the upload routes, which are bounded by the library's free space instead.
    static constexpr std::size_t largestBody = 64 * 1024;

private:
    void installRoutes();

    HostOptions m_options;
    ui::MainLoop& m_loop;
    std::string m_token;
    int m_port = 0;
    EventStream m_stream;
    StateService m_state;
    WebFiles m_files;
    std::unique_ptr<desktop::SecretStoreFile> m_secrets;
    std::unique_ptr<PairedDevices> m_devices;
    std::unique_ptr<CatalogPassword> m_catalogPassword;
    std::unique_ptr<PushedPlaces> m_pushedPlaces;
    std::unique_ptr<RequestGuard> m_guard;
    std::unique_ptr<GatedServer> m_server;
    std::thread m_thread;
    std::function<void()> m_previousScreenChangeListener;
};

}
