// WebFiles: the renderer's files (platform/web, read as they are: no build step) and the free
// faces that stand in for the platform's fonts. Only plain names are served — no folders, no
// dots but the extension's — so no request reaches a file outside them.
#pragma once

#include <optional>
#include <string>

namespace host {

struct WebFile {
    std::string bytes;
    std::string mimeType;
};

class WebFiles {
public:
    explicit WebFiles(std::string root);

    // index.html, or a .js, .css or .svg file of the renderer; nothing for any other name.
    // index.html names every module of the renderer for preloading, so the browser fetches them
    // side by side rather than one level of imports after another.
    std::optional<WebFile> file(const std::string& name) const;
    // The font file standing in for the platform's face ("Avenir-Light", "System", ...).
    std::optional<WebFile> font(const std::string& face) const;

    // The folder the renderer's files are read from.
    const std::string& root() const { return m_root; }

    // The page's @font-face rule for every face served: the faces are named here only.
    static std::string faceRules();
    // The file that serves a face, when this machine has one.
    static std::optional<std::string> fontPath(const std::string& face);

private:
    std::string m_root;
};

}
