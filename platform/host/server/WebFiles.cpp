// Reading the renderer's files and the stand-in faces.
#include "platform/host/server/WebFiles.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

namespace host {

namespace {

constexpr std::size_t largestFile = 8 * 1024 * 1024;

struct FaceFiles {
    const char* face;
    std::array<const char*, 3> candidates;
    // How the page draws text in the face while its file loads: the light face of the library's
    // titles is waited for, so they never jump from another face to it.
    const char* display = "swap";
};

// Lato's light cut is the closest free face to Avenir Light that Debian ships (fonts-lato).
constexpr std::array<FaceFiles, 5> faces { {
    { "Avenir-Light",
        { "/usr/share/fonts/truetype/lato/Lato-Light.ttf",
            "/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf", nullptr },
        "block" },
    { "Avenir-Book",
        { "/usr/share/fonts/truetype/lato/Lato-Regular.ttf",
            "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr } },
    { "System",
        { "/usr/share/fonts/truetype/lato/Lato-Regular.ttf",
            "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr } },
    { "Helvetica",
        { "/usr/share/fonts/truetype/lato/Lato-Regular.ttf",
            "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr } },
    { "Helvetica-Bold",
        { "/usr/share/fonts/truetype/lato/Lato-Bold.ttf",
            "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", nullptr } },
} };

std::optional<std::string> readSmallFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    auto size = std::filesystem::file_size(path, error);
    if (error || size > largestFile)
        return std::nullopt;
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << stream.rdbuf();
    return std::move(bytes).str();
}

std::string mimeTypeOf(const std::string& name)
{
    auto extension = name.substr(name.rfind('.') + 1);
    if (extension == "html")
        return "text/html; charset=utf-8";
    if (extension == "js")
        return "text/javascript; charset=utf-8";
    if (extension == "css")
        return "text/css; charset=utf-8";
    return "image/svg+xml";
}

bool isPlainName(const std::string& name)
{
    static const std::regex plainName("[a-z0-9][a-z0-9-]{0,63}\\.(html|js|css|svg)");
    return std::regex_match(name, plainName);
}

// The page with a modulepreload link for each module of the renderer, before its </head>.
std::string withModulePreloads(std::string page, const std::string& root)
{
    auto head = page.find("</head>");
    if (head == std::string::npos)
        return page;
    std::vector<std::string> modules;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(root, error), end; !error && entry != end;
         entry.increment(error)) {
        auto name = entry->path().filename().string();
        if (name.ends_with(".js") && isPlainName(name))
            modules.push_back(std::move(name));
    }
    std::sort(modules.begin(), modules.end());
    std::string links;
    for (auto& module : modules)
        links += "<link rel=\"modulepreload\" href=\"/" + module + "\">\n";
    page.insert(head, links);
    return page;
}

}

WebFiles::WebFiles(std::string root)
    : m_root(std::move(root))
{
}

std::optional<WebFile> WebFiles::file(const std::string& name) const
{
    if (!isPlainName(name))
        return std::nullopt;
    auto bytes = readSmallFile(m_root + "/" + name);
    if (!bytes)
        return std::nullopt;
    if (name == "index.html")
        bytes = withModulePreloads(std::move(*bytes), m_root);
    return WebFile { std::move(*bytes), mimeTypeOf(name) };
}

std::string WebFiles::faceRules()
{
    std::string rules;
    for (const auto& face : faces) {
        rules += "@font-face { font-family: \"" + std::string(face.face) + "\"; src: url(\"/fonts/"
            + face.face + "\") format(\"truetype\"); font-display: " + face.display + "; }\n";
    }
    return rules;
}

std::optional<std::string> WebFiles::fontPath(const std::string& face)
{
    for (auto& entry : faces) {
        if (face != entry.face)
            continue;
        for (const char* candidate : entry.candidates) {
            std::error_code error;
            if (candidate && std::filesystem::is_regular_file(candidate, error))
                return std::string(candidate);
        }
    }
    return std::nullopt;
}

std::optional<WebFile> WebFiles::font(const std::string& face) const
{
    auto path = fontPath(face);
    if (!path)
        return std::nullopt;
    auto bytes = readSmallFile(*path);
    if (!bytes)
        return std::nullopt;
    return WebFile { std::move(*bytes), "font/ttf" };
}

}
