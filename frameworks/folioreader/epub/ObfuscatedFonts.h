// ObfuscatedFonts: the files a book lists in META-INF/encryption.xml, and how each is served.
// Fonts obfuscated by either of the two schemes books use are revealed on the way out: their first
// bytes XORed with a key made from the package's unique identifier. A file hidden any other way
// (a scheme not known here, real encryption) is left out, so the book's fallback fonts apply.
#pragma once

#include "platform/ui/ReaderScreen.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace folioreader {

class ObfuscatedFonts {
public:
    // The files encryptionXml lists, for a book of that unique identifier. A document that is not
    // XML lists nothing: its files are served as they are.
    static ObfuscatedFonts parse(std::string& encryptionXml, std::string_view uniqueIdentifier);

    // How the entry is served: nothing when the book does not list it, else the mask that reveals
    // it, whose empty key means the file is left out.
    std::optional<ui::ServedFile::Mask> maskOf(std::string_view entryName) const;

private:
    std::map<std::string, ui::ServedFile::Mask, std::less<>> m_masks;
};

// The key of the scheme of the International Digital Publishing Forum: the SHA-1 of the identifier
// with its white space removed; the first 1040 bytes are masked.
ui::ServedFile::Mask idpfFontMask(std::string_view uniqueIdentifier);
// The key of Adobe's scheme: the 16 bytes of the UUID the identifier holds ("urn:uuid:" and
// dashes aside); the first 1024 bytes are masked. An empty key when the identifier holds none.
ui::ServedFile::Mask adobeFontMask(std::string_view uniqueIdentifier);

}
