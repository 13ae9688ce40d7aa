// Coder: the values an interface description gives an object it creates ("style": "0").
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ui {

class Coder {
public:
    Coder() = default;
    explicit Coder(std::map<std::string, std::string> values)
        : m_values(std::move(values))
    {
    }

    std::optional<std::string> decodeString(const std::string& key) const;
    // Nothing when the key is missing or its value is not a whole number.
    std::optional<std::int64_t> decodeInteger(const std::string& key) const;

private:
    std::map<std::string, std::string> m_values;
};

}
