// Reading pagewyn.conf, strictly, line by line.
#include "app/SettingsFile.h"

#include "platform/desktop/PrivateFolders.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/host/server/ListenAddress.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file is a few lines; anything larger is another file put in its place.
constexpr std::size_t largestFile = 64 * 1024;

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

foundation::Error lineError(std::size_t line, const std::string& why)
{
    return foundation::Error("pagewyn.conf line " + std::to_string(line) + ": " + why);
}

foundation::Result<std::string> folderValue(std::string_view value, const std::string& home)
{
    if (value.front() == '/')
        return std::string(value);
    if (value == "~" || value.starts_with("~/")) {
        if (home.empty() || home.front() != '/')
            return foundation::Error("documents starts with ~ but the home folder is not known");
        return home + std::string(value.substr(1));
    }
    // The service starts in a folder of systemd's choosing: a relative folder would be a guess.
    return foundation::Error("documents must be an absolute folder (/…) or start with ~/");
}

foundation::Result<int> portValue(std::string_view value)
{
    if (value.size() > 5 || value.find_first_not_of("0123456789") != std::string_view::npos)
        return foundation::Error("port must be a number from 0 to 65535");
    int port = std::stoi(std::string(value));
    if (port > 65535)
        return foundation::Error("port must be a number from 0 to 65535");
    return port;
}

}

std::string settingsFilePath()
{
    return desktop::pagewynConfigFolder() + "/pagewyn.conf";
}

foundation::Result<FileSettings> parseSettings(std::string_view text, const std::string& home)
{
    FileSettings settings;
    // The line each key was set on, for a key set twice and a port named twice.
    std::map<std::string, std::size_t, std::less<>> setOn;
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        auto end = text.find('\n');
        auto line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        if (line.find('\0') != std::string_view::npos)
            return lineError(number, "holds a NUL byte");
        auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return lineError(number, "expected KEY = VALUE");
        auto key = trimmed(line.substr(0, equals));
        auto value = trimmed(line.substr(equals + 1));
        if (key != "documents" && key != "listen" && key != "port")
            return lineError(number,
                "unknown key \"" + std::string(key)
                    + "\" (the keys are documents, listen and port)");
        if (auto earlier = setOn.find(key); earlier != setOn.end())
            return lineError(number,
                std::string(key) + " is already set on line " + std::to_string(earlier->second));
        if (value.empty())
            return lineError(number, std::string(key) + " has no value");
        setOn.emplace(key, number);

        if (key == "documents") {
            auto folder = folderValue(value, home);
            if (!folder)
                return lineError(number, folder.error().description());
            settings.documents = *folder;
            continue;
        }
        std::optional<int> port;
        if (key == "listen") {
            auto listen = host::ListenAddress::parseWithPort(std::string(value));
            if (!listen)
                return lineError(number, "listen: " + listen.error().description());
            settings.listen = listen->address.bindAddress();
            port = listen->port;
        } else {
            auto written = portValue(value);
            if (!written)
                return lineError(number, written.error().description());
            port = *written;
        }
        if (port && settings.port && *port != *settings.port)
            return lineError(number,
                "the port is already " + std::to_string(*settings.port) + " on line "
                    + std::to_string(setOn.at(key == "port" ? "listen" : "port")));
        if (port)
            settings.port = port;
    }
    return settings;
}

foundation::Result<FileSettings> readSettingsFile(const std::string& path, const std::string& home)
{
    foundation::FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.isOpen()) {
        if (errno == ENOENT)
            return FileSettings {};
        return foundation::Error("pagewyn.conf: cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat status { };
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return foundation::Error("pagewyn.conf: " + path + " is not a file");
    if (static_cast<std::size_t>(status.st_size) > largestFile)
        return foundation::Error(
            "pagewyn.conf: " + path + " is larger than 64 KiB, which no settings file is");
    std::string text(largestFile + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        auto read = ::read(file.get(), text.data() + got, text.size() - got);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return foundation::Error(
                "pagewyn.conf: cannot read " + path + ": " + std::strerror(errno));
        if (read == 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    if (got > largestFile)
        return foundation::Error(
            "pagewyn.conf: " + path + " is larger than 64 KiB, which no settings file is");
    text.resize(got);
    return parseSettings(text, home);
}
