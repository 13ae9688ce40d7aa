// The settings page's facts and the folder opener, served off the main loop.
#include "platform/host/routes/SettingsRoutes.h"

#include "platform/desktop/DesktopOpener.h"
#include "platform/foundation/FileManager.h"
#include "platform/host/server/Attachment.h"
#include "platform/host/server/JsonResponse.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <httplib.h>

namespace host {

namespace {

// The library folder as the platform names it, without walking it.
std::string libraryFolder()
{
    auto folders = foundation::FileManager::defaultManager()->urlsForDirectory(
        foundation::SearchPathDirectory::documentDirectory,
        foundation::SearchPathDomainMask::userDomainMask);
    return folders.empty() ? std::string() : folders.front().path();
}

MetadataCacheActions& cacheActions()
{
    static MetadataCacheActions actions;
    return actions;
}

std::optional<std::uint64_t> cacheSize()
{
    auto& size = cacheActions().size;
    return size ? size() : std::nullopt;
}

nlohmann::json cacheJson()
{
    auto bytes = cacheSize();
    return { { "metadataCacheInUse", bytes.has_value() },
        { "metadataCacheBytes", bytes.value_or(0) },
        { "metadataCacheBytesText", ui::readableByteCount(bytes.value_or(0)) } };
}

}

void setMetadataCacheActions(MetadataCacheActions actions)
{
    cacheActions() = std::move(actions);
}

nlohmann::json settingsPageJson(const ui::SettingsPage& page, bool runsAsService)
{
    nlohmann::json facts = {
        { "name", page.applicationName },
        { "version", page.version },
        { "libraryFolder", page.libraryFolder },
        { "itemCount", page.itemCount },
        { "byteCount", page.byteCount },
        { "byteCountText", ui::readableByteCount(page.byteCount) },
        { "countComplete", page.countComplete },
        { "highlightDatabase", page.highlightDatabase },
        { "highlightDatabaseExists", page.highlightDatabaseExists },
        { "runsAsService", runsAsService },
    };
    facts.update(cacheJson());
    return facts;
}

std::string folderOpenerProgram()
{
    const char* named = std::getenv("PAGEWYN_FOLDER_OPENER");
    return named && *named ? named : "xdg-open";
}

void installSettingsRoutes(httplib::Server& server, const std::string& listedEnding,
    bool runsAsService, LibraryHighlights highlights)
{
    server.Get("/settings-page/highlights",
        [highlights](const httplib::Request&, httplib::Response& response) {
            foundation::Result<ui::ExportedFile> file
                = foundation::Error("this application keeps no highlights");
            if (highlights)
                file = highlights();
            if (!file) {
                sendJson(response, 409, { { "error", file.error().description() } });
                return;
            }
            sendExportedFile(response, *file);
        });

    server.Get("/settings-page",
        [listedEnding, runsAsService](const httplib::Request&, httplib::Response& response) {
            sendJson(response, 200,
                settingsPageJson(ui::SettingsPage::current(listedEnding), runsAsService));
        });

    server.Post("/settings-page/clear-cache",
        [](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "the request"))
                return;
            auto& clear = cacheActions().clear;
            if (!clear || !clear()) {
                sendJson(
                    response, 409, { { "error", "the metadata cache could not be cleared now" } });
                return;
            }
            sendJson(response, 200, cacheJson());
        });

    server.Post("/settings-page/open-folder",
        [](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "the request"))
                return;
            auto folder = libraryFolder();
            std::error_code error;
            // The folder is opened as it is, never created, and only as an absolute path, which no
            // opener can take for an option.
            if (folder.empty() || folder.front() != '/'
                || !std::filesystem::is_directory(folder, error)) {
                sendJson(response, 404, { { "error", "the library folder does not exist yet" } });
                return;
            }
            // An opener that fails does so at once; one still running after a few seconds has
            // handed the folder on (a file manager that stays), and its outcome is not waited for
            // further.
            auto started = desktop::startDesktopProgram(
                folderOpenerProgram(), { folder }, std::chrono::seconds(5));
            if (!started) {
                sendJson(response, 502,
                    { { "error",
                        "the file manager could not open it: " + started.error().description() } });
                return;
            }
            sendJson(response, 200, { { "opened", folder } });
        });
}

}
