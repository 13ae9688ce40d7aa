// Decoding values by key.
#include "platform/ui/Coder.h"

#include <charconv>

namespace ui {

std::optional<std::string> Coder::decodeString(const std::string& key) const
{
    auto found = m_values.find(key);
    if (found == m_values.end())
        return std::nullopt;
    return found->second;
}

std::optional<std::int64_t> Coder::decodeInteger(const std::string& key) const
{
    auto text = decodeString(key);
    if (!text || text->empty())
        return std::nullopt;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size())
        return std::nullopt;
    return value;
}

}
