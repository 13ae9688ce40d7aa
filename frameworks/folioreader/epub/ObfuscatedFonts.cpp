// Reading META-INF/encryption.xml and making the keys of obfuscated fonts.
#include "frameworks/folioreader/epub/ObfuscatedFonts.h"

#include "frameworks/folioreader/epub/EntryName.h"
#include "frameworks/folioreader/epub/XmlNodes.h"
#include "platform/foundation/sha1.h"

#include <cstring>

namespace folioreader {

namespace {

constexpr std::string_view idpfAlgorithm = "http://www.idpf.org/2008/embedding";
constexpr std::string_view adobeAlgorithm = "http://ns.adobe.com/pdf/enc#RC";

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}

ui::ServedFile::Mask idpfFontMask(std::string_view uniqueIdentifier)
{
    std::string stripped;
    for (char c : uniqueIdentifier) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            stripped.push_back(c);
    }
    if (stripped.empty())
        return {};
    auto digest = foundation::sha1(stripped);
    return { .key = { digest.begin(), digest.end() }, .length = 1040 };
}

ui::ServedFile::Mask adobeFontMask(std::string_view uniqueIdentifier)
{
    std::string_view text = uniqueIdentifier;
    while (!text.empty() && std::strchr(" \t\r\n", text.front()))
        text.remove_prefix(1);
    if (text.size() >= 9 && text.substr(0, 4) == "urn:"
        && (text.substr(4, 5) == "uuid:" || text.substr(4, 5) == "UUID:"))
        text.remove_prefix(9);
    std::vector<std::uint8_t> key;
    int high = -1;
    for (char c : text) {
        if (c == '-' || c == ':' || c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        int digit = hexDigit(c);
        if (digit < 0 || key.size() == 16)
            return {};
        if (high < 0) {
            high = digit;
        } else {
            key.push_back(std::uint8_t(high << 4 | digit));
            high = -1;
        }
    }
    if (key.size() != 16 || high >= 0)
        return {};
    return { .key = std::move(key), .length = 1024 };
}

ObfuscatedFonts ObfuscatedFonts::parse(
    std::string& encryptionXml, std::string_view uniqueIdentifier)
{
    ObfuscatedFonts fonts;
    pugi::xml_document document;
    if (!document.load_buffer_inplace(encryptionXml.data(), encryptionXml.size(), xmlParseOptions))
        return fonts;
    for (pugi::xml_node data = document.document_element().first_child(); data;
         data = data.next_sibling()) {
        if (!isElement(data, "EncryptedData"))
            continue;
        std::string_view algorithm
            = childNamed(data, "EncryptionMethod").attribute("Algorithm").value();
        std::string_view uri = childNamed(childNamed(data, "CipherData"), "CipherReference")
                                   .attribute("URI")
                                   .value();
        auto entry = resolveHref("", uri);
        if (!entry)
            continue;
        ui::ServedFile::Mask mask;
        if (algorithm == idpfAlgorithm)
            mask = idpfFontMask(uniqueIdentifier);
        else if (algorithm == adobeAlgorithm)
            mask = adobeFontMask(uniqueIdentifier);
        fonts.m_masks.insert_or_assign(std::move(*entry), std::move(mask));
    }
    return fonts;
}

std::optional<ui::ServedFile::Mask> ObfuscatedFonts::maskOf(std::string_view entryName) const
{
    auto found = m_masks.find(entryName);
    if (found == m_masks.end())
        return std::nullopt;
    return found->second;
}

}
