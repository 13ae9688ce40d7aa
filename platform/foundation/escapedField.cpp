// Escaping of tab-separated fields, and back.
#include "platform/foundation/escapedField.h"

namespace foundation {

std::string escapedField(std::string_view field)
{
    std::string escaped;
    escaped.reserve(field.size());
    for (char c : field) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\t': escaped += "\\t"; break;
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> unescapedField(std::string_view written)
{
    std::string field;
    for (std::size_t at = 0; at < written.size(); ++at) {
        if (written[at] != '\\') {
            field += written[at];
            continue;
        }
        if (++at == written.size())
            return std::nullopt;
        switch (written[at]) {
        case '\\': field += '\\'; break;
        case 't': field += '\t'; break;
        case 'n': field += '\n'; break;
        case 'r': field += '\r'; break;
        default: return std::nullopt;
        }
    }
    return field;
}

}
