// Escaping of tab-separated fields, and back.
#include "platform/foundation/escapedField.h"

namespace foundation {

std::string escapedField(std::string_view field)
{
    std::string escaped;
    escaped.reserve(field.size());
    auto hex = [&escaped](unsigned char byte) {
        constexpr char digits[] = "0123456789abcdef";
        escaped += "\\x";
        escaped += digits[byte >> 4];
        escaped += digits[byte & 0xF];
    };
    // Continuation bytes the last lead byte announced; any other byte 0x80 to 0x9F is stray.
    int continuations = 0;
    for (std::size_t at = 0; at < field.size(); ++at) {
        const auto c = static_cast<unsigned char>(field[at]);
        const bool continuation = c >= 0x80 && c <= 0xBF;
        if (continuation && continuations > 0) {
            --continuations;
            escaped += char(c);
            continue;
        }
        continuations = c >= 0xC2 && c <= 0xDF ? 1
            : c >= 0xE0 && c <= 0xEF           ? 2
            : c >= 0xF0 && c <= 0xF4           ? 3
                                               : 0;
        const auto next = at + 1 < field.size() ? static_cast<unsigned char>(field[at + 1]) : 0;
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
                hex(c);
                hex(next);
                ++at;
                continuations = 0;
            } else if (c < 0x20 || c == 0x7F || (continuation && c <= 0x9F)) {
                hex(c);
            } else {
                escaped += char(c);
            }
        }
    }
    return escaped;
}

std::optional<std::string> unescapedField(std::string_view written)
{
    auto hexDigit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    std::string field;
    for (std::size_t at = 0; at < written.size(); ++at) {
        if (written[at] != '\\') {
            field += written[at];
            continue;
        }
        if (++at == written.size())
            return std::nullopt;
        switch (written[at]) {
        case '\\':
            field += '\\';
            break;
        case 't':
            field += '\t';
            break;
        case 'n':
            field += '\n';
            break;
        case 'r':
            field += '\r';
            break;
        case 'x': {
            if (at + 2 >= written.size())
                return std::nullopt;
            const int high = hexDigit(written[at + 1]);
            const int low = hexDigit(written[at + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            field += char(high * 16 + low);
            at += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return field;
}

}
