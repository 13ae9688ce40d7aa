// Finding the running instance of a library and handing it a book file.
#include "platform/desktop/HandoffClient.h"

#include "platform/desktop/ListeningProcess.h"
#include "platform/foundation/FileDescriptor.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace desktop {

namespace {

// Unpacking a large book on the instance's main loop takes a while before it answers.
constexpr time_t answerTimeoutSeconds = 600;

httplib::Client clientFor(const InstanceRecord& record, time_t readTimeout)
{
    httplib::Client client(record.origin);
    client.set_connection_timeout(2);
    client.set_read_timeout(readTimeout);
    client.set_write_timeout(30);
    return client;
}

httplib::Headers headersFor(const InstanceRecord& record)
{
    return { { accessTokenHeader, record.token } };
}

std::string errorOf(const httplib::Result& result)
{
    if (!result)
        return "Pagewyn did not answer (" + httplib::to_string(result.error()) + ")";
    auto json = nlohmann::json::parse(result->body, nullptr, false);
    if (json.is_object() && json.contains("error") && json["error"].is_string())
        return json["error"].get<std::string>();
    return "Pagewyn answered " + std::to_string(result->status);
}

// The port of "http://HOST:PORT"; 0 when there is none.
int portOf(const std::string& origin)
{
    auto colon = origin.rfind(':');
    if (colon == std::string::npos || colon + 1 >= origin.size()
        || origin.find_first_not_of("0123456789", colon + 1) != std::string::npos
        || origin.size() - colon > 6)
        return 0;
    return std::stoi(origin.substr(colon + 1));
}

}

foundation::Result<InstanceStatus> askInstance(const InstanceRecord& record)
{
    auto client = clientFor(record, 10);
    auto result = client.Get("/instance", headersFor(record));
    if (!result || result->status != 200)
        return foundation::Error(errorOf(result));
    auto json = nlohmann::json::parse(result->body, nullptr, false);
    if (!json.is_object() || !json.contains("documents") || !json["documents"].is_string())
        return foundation::Error("the program at " + record.origin + " is not Pagewyn");
    InstanceStatus status;
    status.documents = json["documents"].get<std::string>();
    // Only a boolean says so: what else a program there answers is no reason to end the command.
    status.ready
        = json.contains("ready") && json["ready"].is_boolean() && json["ready"].get<bool>();
    if (json.contains("pid") && json["pid"].is_number_integer())
        status.pid = json["pid"].get<pid_t>();
    return status;
}

std::optional<InstanceRecord> findRunningInstance(const std::string& documentsFolder)
{
    const std::string path = InstanceFile::pathFor(documentsFolder);
    auto record = InstanceFile::read(path);
    if (!record)
        return std::nullopt;
    // Not a byte, not even the token, goes to the port before its listener is known to be the
    // process the file names: a killed instance's port may be anyone's by now.
    if (!processListensOnPort(record->pid, portOf(record->origin))) {
        if (::kill(record->pid, 0) != 0 && errno == ESRCH)
            ::unlink(path.c_str());
        return std::nullopt;
    }
    auto status = askInstance(*record);
    if (!status || status->documents != normalizedDocumentsFolder(documentsFolder))
        return std::nullopt;
    return *record;
}

foundation::Result<void> waitUntilReady(const InstanceRecord& record,
    std::chrono::milliseconds longest, const std::function<bool()>& stillWaiting)
{
    auto until = std::chrono::steady_clock::now() + longest;
    for (;;) {
        auto status = askInstance(record);
        if (status && status->ready)
            return {};
        if (std::chrono::steady_clock::now() >= until)
            return foundation::Error(
                status ? "Pagewyn is still reading the library" : status.error().description());
        if (stillWaiting && !stillWaiting())
            return foundation::Error("Pagewyn ended before it was ready");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

foundation::Result<void> handOver(const InstanceRecord& record, const std::string& filePath,
    const UploadKind& kind, bool showLibrary)
{
    // The instance checks the name before it stores a byte, and refuses it with the reason.
    const std::string name = std::filesystem::path(filePath).filename().string();
    foundation::FileDescriptor file(::open(filePath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status { };
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0)
        return foundation::Error(std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return foundation::Error("not a file");

    auto client = clientFor(record, answerTimeoutSeconds);
    httplib::Params parameters { { "name", name } };
    if (showLibrary)
        parameters.emplace("show", "1");
    const std::string path = httplib::append_query_params("/handoff", parameters);
    const auto length = static_cast<std::size_t>(status.st_size);
    bool readFailed = false;
    auto result = client.Post(
        path.c_str(), headersFor(record), length,
        [&](std::size_t offset, std::size_t wanted, httplib::DataSink& sink) {
            char buffer[64 * 1024];
            auto got = ::pread(
                file.get(), buffer, std::min(wanted, sizeof buffer), static_cast<off_t>(offset));
            if (got <= 0) {
                // The file shrank or cannot be read: the instance sees a short body and takes
                // nothing.
                readFailed = true;
                return false;
            }
            return sink.write(buffer, static_cast<std::size_t>(got));
        },
        kind.mediaType);
    if (readFailed)
        return foundation::Error("the file could not be read to its end");
    if (!result || result->status != 200)
        return foundation::Error(errorOf(result));
    return {};
}

}
