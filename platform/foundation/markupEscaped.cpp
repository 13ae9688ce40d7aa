// One byte at a time: every character escaped is ASCII, so UTF-8 passes through unchanged.
#include "platform/foundation/markupEscaped.h"

namespace foundation {

std::string markupEscaped(std::string_view text, LineBreaks breaks)
{
    std::string out;
    out.reserve(text.size());
    const bool references = breaks == LineBreaks::asReferences;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\t':
            out += references ? "&#9;" : "\t";
            break;
        case '\n':
            out += references ? "&#10;" : "\n";
            break;
        case '\r':
            out += references ? "&#13;" : "\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

}
