// Program entry: the command line, then the application served to the browser, or one of its
// headless commands.
#include "app/AboutAlert.h"
#include "app/AddressCommand.h"
#include "app/AppDelegate.h"
#include "app/ApplicationClasses.h"
#include "app/BookFiles.h"
#include "app/HandoffCommand.h"
#include "app/LibraryCatalog.h"
#include "app/LibraryPassages.h"
#include "app/LibrarySync.h"
#include "app/ListCommand.h"
#include "app/SearchCommand.h"
#include "app/SettingsFile.h"
#include "frameworks/folioreader/FolioReader.h"
#include "frameworks/folioreader/highlights/exportHighlights.h"
#include "frameworks/folioreader/metadata/DescriptionPass.h"
#include "frameworks/folioreader/metadata/MetadataStore.h"
#include "frameworks/folioreader/metadata/StoredCover.h"
#include "frameworks/folioreader/textindex/TextIndex.h"
#include "frameworks/folioreader/textindex/TextIndexer.h"
#include "library/DocumentsFolder.h"
#include "library/ProgramState.h"
#include "library/ScanProgress.h"
#include "platform/desktop/BrowserOpener.h"
#include "platform/desktop/InstanceFile.h"
#include "platform/desktop/StopSignals.h"
#include "platform/foundation/Console.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/escapedField.h"
#include "platform/foundation/pinLocalTimeZone.h"
#include "platform/foundation/releaseLargeBlocks.h"
#include "platform/host/kosync/PushedPlaces.h"
#include "platform/host/routes/SettingsRoutes.h"
#include "platform/host/server/Host.h"
#include "platform/ui/ApplicationMain.h"
#include "platform/ui/ClassRegistry.h"
#include "reading/makeReaderConfig.h"
#include "screen/RowCovers.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <map>
#include <unistd.h>

namespace {

struct HostedOptions {
    std::optional<std::string> documents;
    int port = 0;
    bool noBrowser = false;
    std::string listen = "127.0.0.1";
    // Run by the user service: no browser, and every line for the journal on standard error.
    bool service = false;
};

// As the user service, the journal keeps standard error: one event a line, so a book's name
// with a line break or a terminal's control characters in it is written escaped.
void logForTheJournal()
{
    foundation::setConsoleSink(
        [](std::string_view line) { std::cerr << foundation::escapedField(line) << std::endl; });
}

// The command line's options over the settings file's: each one given on the command line wins.
// A port written in --listen counts as given.
void applySettingsFile(HostedOptions& options, const FileSettings& file, const CLI::App& app)
{
    if (!app.count("--documents") && file.documents)
        options.documents = file.documents;
    auto listen = host::ListenAddress::parseWithPort(options.listen);
    const bool portGiven = app.count("--port") || (app.count("--listen") && listen && listen->port);
    if (!app.count("--listen") && file.listen)
        options.listen = *file.listen;
    if (!portGiven && file.port)
        options.port = *file.port;
}

// Starts the host before the application, so that a long first scan already shows its progress
// in the browser; the application's main loop then runs until Ctrl-C or SIGTERM.
int runHostedApplication(const HostedOptions& options, int argc, char** argv)
{
    if (options.service)
        logForTheJournal();
    auto& loop = ui::MainLoop::main();
    // The main thread is the application's before any worker could ask for it.
    loop.claimCurrentThread();
    desktop::stopOnSignals([&loop] {
        // A first scan of a large library runs before the main loop: it stops at its next item.
        requestScanStop();
        loop.stop(0);
    });

    auto listen = host::ListenAddress::parse(options.listen);
    if (!listen) {
        std::cerr << "pagewyn: --listen: " << listen.error().description() << std::endl;
        return 2;
    }
    if (options.documents)
        foundation::FileManager::setDocumentsDirectoryOverride(*options.documents);
    // Titles and authors read in earlier runs; without a usable store every book is read.
    auto metadataStore
        = folioreader::MetadataStore::open(folioreader::MetadataStore::defaultPath());
    folioreader::FolioReader::setMetadataStore(metadataStore);
    host::setMetadataCacheActions({
        [metadataStore]() -> std::optional<std::uint64_t> {
            return metadataStore ? std::optional(metadataStore->byteSize()) : std::nullopt;
        },
        [metadataStore] {
            // Row covers read and not written yet would come back after the clear otherwise.
            folioreader::writePendingCovers();
            return metadataStore && metadataStore->clear();
        },
    });

    host::HostOptions hostOptions;
    hostOptions.upload.kind = bookFiles;
    hostOptions.words = { .one = "book", .many = "books", .oneToAdd = "an EPUB book" };
    hostOptions.listen = *listen;
    hostOptions.port = options.port;
    // The catalog reads the book list on the main loop, as every page's snapshot does.
    hostOptions.catalog = std::make_shared<LibraryCatalog>();
    // Reading devices sync their places with the library's books, beside the reading places.
    hostOptions.sync = std::make_shared<LibrarySync>(loop);
    hostOptions.pushedPlacesPath = bookPath(host::PushedPlaces::fileName);
    // Every browser's window shows the one book list in the one order: a change of either, made
    // in any window, is shown in each before it is next looked at.
    hostOptions.sharedStateCount = programStateCount;
    // The highlights the reader keeps, read where the reader keeps them: beside the books.
    auto noImage = [](const std::string&) { return std::shared_ptr<ui::Image>(); };
    auto database = makeReaderConfig(noImage)->highlightDatabase;
    hostOptions.libraryHighlights = [database]() -> foundation::Result<ui::ExportedFile> {
        if (!database.fileURL)
            return foundation::Error("there is no library folder to keep highlights in");
        auto path = database.fileURL->path();
        return folioreader::exportLibraryHighlights(database, path.substr(0, path.rfind('/')));
    };
    hostOptions.runsAsService = options.service;
    // The books' text is indexed after each scan, for the search field's passages. The indexer
    // outlives the host's serving, which searches its index on the request's worker.
    // A person jumping through the library or reading is answered first: the indexer waits
    // while a page asked for anything in the last second.
    host::Host* serving = nullptr;
    folioreader::TextIndexUpdate indexing;
    indexing.busy
        = [&serving] { return serving && serving->state().askedWithin(std::chrono::seconds(1)); };
    auto textIndexer = std::make_unique<folioreader::TextIndexer>(
        folioreader::TextIndex::open(folioreader::TextIndex::defaultPath()), indexing);
    hostOptions.libraryPassages = libraryPassages(*textIndexer, documentsFolder().path(), loop);
    // A file handed over while no page shows the library opens one, so the person sees the book.
    // Called on the main loop; one page is enough for the program's life.
    desktop::BrowserOpener handoffOpener;
    bool handoffOpened = options.noBrowser;
    hostOptions.upload.handedOverWithoutPage = [&] {
        if (!handoffOpened && serving)
            handoffOpened = handoffOpener.open(serving->localAddress());
    };
    host::Host server(hostOptions);
    serving = &server;
    if (auto started = server.start(); !started) {
        std::cerr << "pagewyn: " << started.error().description() << std::endl;
        return 1;
    }
    // Later `pagewyn FILE.epub` and `pagewyn --address` commands find this instance through the
    // file. It is written before the address is announced, so whoever reads the announcement (a
    // person, or a script that waits for the line) finds the instance at once.
    auto documents = foundation::FileManager().urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    const std::string documentsFolder
        = desktop::normalizedDocumentsFolder(documents.front().path());
    auto instance = desktop::InstanceFile::publish(
        { server.localOrigin(), server.token(), documentsFolder, ::getpid(), server.address() },
        desktop::InstanceFile::pathFor(documentsFolder));
    if (!instance)
        std::cerr << "pagewyn: other programs cannot hand books to this Pagewyn: "
                  << instance.error().description() << std::endl;
    else
        desktop::beforeAbruptExit([path = instance->path(), token = instance->token()] {
            desktop::InstanceFile::removeIfStillOurs(path, token);
        });

    // The journal keeps what a service writes for anyone who may read it: the address goes there
    // without its token, which `pagewyn --address` prints to this user alone.
    std::ostream& announce = options.service ? std::cerr : std::cout;
    if (options.service)
        announce << "pagewyn: serving the library at "
                 << server.address().substr(0, server.address().find('?'))
                 << "; pagewyn --address prints the address with its key" << std::endl;
    else
        announce << "Pagewyn: " << server.address() << std::endl;
    // Reading apps on other devices add the catalog by this address and the settings page's
    // password.
    if (!server.catalogAddresses().empty() && !listen->isLoopback())
        announce << (options.service ? "pagewyn" : "Pagewyn")
                 << ": catalog for reading apps: " << server.catalogAddresses().front()
                 << std::endl;
    desktop::BrowserOpener opener;
    if (!options.service && (options.noBrowser || !opener.open(server.localAddress())))
        std::cout << "Pagewyn: open the address above in a browser; it holds a secret key for this "
                     "run, so share it with no one"
                  << std::endl;

    setScanProgressObserver([&server](std::size_t read, std::size_t found) {
        server.state().setStartupProgress(read, found);
    });
    ui::setApplicationRunner([&server](ui::Application&, ui::MainLoop& mainLoop) {
        setScanProgressObserver({});
        server.state().applicationReady();
        return mainLoop.run();
    });
    // A jump into rows whose covers the store does not know yet is answered at once; the
    // catalog's descriptions are read after each scan, not by it.
    auto rowCovers = makeRowCoverLoader(loop);
    auto descriptions = std::make_unique<folioreader::DescriptionPass>();
    registerApplicationClasses({ rowCovers.get(), descriptions.get(), textIndexer.get() });
    int exitCode
        = ui::applicationMain(argc, argv, std::nullopt, ui::stringFromClass<AppDelegate>());
    // The application has ended, its screens with it: nothing hands the threads work any more.
    descriptions.reset();
    rowCovers.reset();
    // Nothing runs the main loop any more: requests still waiting for it are let go, and new ones
    // are not queued, before the host waits for its workers.
    server.state().close();
    loop.stop(exitCode);
    server.stop();
    textIndexer.reset();
    // Row covers read in the last second are kept too.
    folioreader::FolioReader::setMetadataStore(nullptr);
    return exitCode;
}

}

int main(int argc, char** argv)
{
    foundation::pinLocalTimeZone();
    foundation::releaseLargeBlocks();
    CLI::App app { "Pagewyn: a personal library of EPUB books.", "pagewyn" };
    app.require_subcommand(0, 1);
    // The same name and version the about alert shows.
    app.set_version_flag("--version", aboutTitle(), "Print the name and version, then end");
    HostedOptions hosted;
    std::optional<std::string> handedOver;
    app.add_option("file", handedOver,
           "An EPUB book to import: handed to the Pagewyn that serves the library, or to one "
           "started for it")
        ->type_name("FILE.epub");
    app.add_option("--documents", hosted.documents,
           "The library folder (default: $XDG_DATA_HOME/pagewyn/Documents)")
        ->type_name("DIR");
    app.add_option(
           "--port", hosted.port, "The port to serve the library on (default: any free port)")
        ->type_name("N")
        ->check(CLI::Range(0, 65535));
    app.add_flag(
        "--no-browser", hosted.noBrowser, "Print the address but do not open it in the browser");
    app.add_flag("--service", hosted.service,
        "Run as the user service: open no browser, write every line to standard error for the "
        "journal, without the token");
    bool printAddress = false;
    app.add_flag("--address", printAddress,
        "Print the address, with its token, of the Pagewyn that serves the library; exit 1 when "
        "none does");
    app.add_option("--listen", hosted.listen,
           "The address to serve on, with or without its port (default 127.0.0.1; 0.0.0.0 serves "
           "other devices, which still need the printed address)")
        ->type_name("ADDR|ADDR:PORT|[IPv6]:PORT");

    ListOptions listOptions;
    auto* list = app.add_subcommand("list",
        "Scan the library once and print its books: title, author and file, tab-separated (tabs, "
        "line breaks and backslashes inside a field are written \\t, \\n, \\\\)");
    list->add_option("--documents", listOptions.documents,
            "The library folder, which must exist (default: $XDG_DATA_HOME/pagewyn/Documents)")
        ->type_name("DIR");
    const std::map<std::string, std::int64_t> orders { { "recent", 0 }, { "title", 1 },
        { "author", 2 } };
    std::string orderName = "recent";
    list->add_option("--order", orderName,
            "The order to list in: recent (most recently opened first, the default), title or "
            "author")
        ->type_name("recent|title|author")
        ->check(CLI::IsMember({ "recent", "title", "author" }));
    list->add_flag("--json", listOptions.json,
        "Print a JSON array of {\"title\",\"author\",\"file\",\"added\",\"fileBytes\"}: added in "
        "ISO 8601 UTC, fileBytes the file's name byte for byte, percent-encoded (file shows a name "
        "that is not UTF-8 with replacement characters)");

    SearchOptions searchOptions;
    auto* search = app.add_subcommand("search",
        "Print the passages of the library's books holding the words: file, title, chapter and "
        "snippet, tab-separated, the most relevant books first; quoted words find the phrase. "
        "The text index is brought up to date first. Exit 0 with matches, 1 without");
    search
        ->add_option("--documents", searchOptions.documents,
            "The library folder, which must exist (default: $XDG_DATA_HOME/pagewyn/Documents)")
        ->type_name("DIR");
    search->add_flag("--json", searchOptions.json,
        "Print a JSON array of {\"file\",\"title\",\"author\",\"chapter\",\"document\",\"offset\","
        "\"snippet\",\"marks\"}: document and offset the passage's place (spine document, UTF-16 "
        "offset), marks the [from, to) UTF-16 ranges of the words in the snippet");
    search->add_option("words", searchOptions.words, "The words to find")
        ->required()
        ->type_name("WORDS");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return 2;
    }

    // What the file sets, unless the command line says otherwise. A settings file that cannot be
    // read as written stops here: serving another library or address than it names would surprise.
    const char* home = std::getenv("HOME");
    auto settings = readSettingsFile(settingsFilePath(), home ? home : "");
    if (!settings) {
        std::cerr << "pagewyn: " << settings.error().description() << std::endl;
        return 2;
    }
    applySettingsFile(hosted, *settings, app);

    // --listen may carry the port itself; it then agrees with --port or stands alone.
    if (auto listen = host::ListenAddress::parseWithPort(hosted.listen); !listen) {
        std::cerr << "pagewyn: --listen: " << listen.error().description() << std::endl;
        return 2;
    } else if (listen->port) {
        if (hosted.port != 0 && hosted.port != *listen->port) {
            std::cerr << "pagewyn: --listen names port " << *listen->port << " and --port "
                      << hosted.port << ": give one" << std::endl;
            return 2;
        }
        hosted.port = *listen->port;
        hosted.listen = listen->address.bindAddress();
    }

    if (list->parsed()) {
        listOptions.order = orders.at(orderName);
        if (!listOptions.documents)
            listOptions.documents = hosted.documents;
        listOptions.metadataStore
            = folioreader::MetadataStore::open(folioreader::MetadataStore::defaultPath());
        return runListCommand(listOptions);
    }
    if (search->parsed()) {
        if (!searchOptions.documents)
            searchOptions.documents = hosted.documents;
        searchOptions.metadataStore
            = folioreader::MetadataStore::open(folioreader::MetadataStore::defaultPath());
        searchOptions.textIndex
            = folioreader::TextIndex::open(folioreader::TextIndex::defaultPath());
        return runSearchCommand(searchOptions);
    }
    if (printAddress)
        return runAddressCommand(hosted.documents);
    if (handedOver) {
        return runHandoffCommand(HandoffOptions {
            *handedOver, hosted.documents, hosted.port, hosted.listen, hosted.noBrowser });
    }
    return runHostedApplication(hosted, argc, argv);
}
