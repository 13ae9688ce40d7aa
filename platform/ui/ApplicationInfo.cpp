// Reading the application's property list.
#include "platform/ui/ApplicationInfo.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace ui {

namespace {

std::vector<std::string> strings(const nlohmann::json& value)
{
    std::vector<std::string> list;
    if (value.is_array()) {
        for (const auto& item : value) {
            if (item.is_string())
                list.push_back(item.get<std::string>());
        }
    }
    return list;
}

std::string text(const nlohmann::json& object, const char* key)
{
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}

foundation::Result<ApplicationInfo> ApplicationInfo::parse(std::string_view json)
{
    auto document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return foundation::Error("the property list is not a JSON object");
    ApplicationInfo info;
    info.name = text(document, "name");
    info.version = text(document, "version");
    info.identifier = text(document, "identifier");
    if (info.name.empty())
        return foundation::Error("the property list names no application");
    if (auto types = document.find("documentTypes"); types != document.end() && types->is_array()) {
        for (const auto& type : *types) {
            if (!type.is_object())
                continue;
            info.documentTypes.push_back(
                { text(type, "name"), strings(type.value("contentTypes", nlohmann::json())),
                    strings(type.value("mimeTypes", nlohmann::json())),
                    strings(type.value("extensions", nlohmann::json())) });
        }
    }
    return info;
}

const ApplicationInfo& ApplicationInfo::main()
{
    static const ApplicationInfo info = [] {
        std::ifstream file(std::string(PAGEWYN_RESOURCES_DIR) + "/Info.json");
        std::ostringstream bytes;
        bytes << file.rdbuf();
        auto parsed = parse(bytes.str());
        return parsed ? std::move(*parsed) : ApplicationInfo { "Application", "", "", {} };
    }();
    return info;
}

}
