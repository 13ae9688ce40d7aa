// Checking the name of an uploaded book file.
#include "platform/desktop/UploadName.h"

#include "platform/text/UTF8.h"

#include <cctype>

namespace desktop {

namespace {

bool endsWith(const std::string& name, const std::string& ending)
{
    if (name.size() <= ending.size())
        return false;
    for (std::size_t i = 0; i < ending.size(); ++i) {
        auto folded
            = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
        if (folded(name[name.size() - ending.size() + i]) != folded(ending[i]))
            return false;
    }
    return true;
}

}

foundation::Result<std::string> checkedUploadName(const std::string& name, const UploadKind& kind)
{
    using foundation::Error;
    if (name.empty())
        return Error("the file has no name");
    if (name.size() > longestUploadName)
        return Error(
            "the file name is longer than " + std::to_string(longestUploadName) + " bytes");
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            return Error("the file name holds a control character");
        if (c == '/' || c == '\\')
            return Error("the file name holds a slash; only a plain file name is taken");
    }
    if (name.front() == '.')
        return Error("a file name starting with \".\" is not taken");
    if (!text::isUTF8(name))
        return Error("the file name is not UTF-8 text");
    if (!endsWith(name, kind.ending))
        return Error("only " + kind.name + " files, whose names end in \"" + kind.ending
            + "\", can be imported");
    // An application may list only names ending as the kind writes it: "Book.EPUB" would become
    // an item no one sees.
    return name.substr(0, name.size() - kind.ending.size()) + kind.ending;
}

}
