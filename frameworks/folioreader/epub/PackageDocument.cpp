// Parsing container.xml and the package document with pugixml. Elements are matched by local
// name; Dublin Core elements also by the namespace their prefix is bound to.
#include "frameworks/folioreader/epub/PackageDocument.h"

#include "frameworks/folioreader/epub/EntryName.h"
#include "frameworks/folioreader/epub/XmlNodes.h"
#include "platform/html/PlainText.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

namespace folioreader {

using foundation::Error;
using foundation::Result;

namespace {

std::string_view prefixOf(pugi::xml_node node)
{
    std::string_view name = node.name();
    std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
}

// The namespace the element's prefix (or the default namespace) is bound to, looking outwards
// through the xmlns declarations; nothing when it is declared nowhere.
std::optional<std::string_view> namespaceOf(pugi::xml_node element)
{
    std::string_view prefix = prefixOf(element);
    std::string attributeName = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
    for (pugi::xml_node node = element; node && node.type() == pugi::node_element;
         node = node.parent()) {
        if (pugi::xml_attribute declaration = node.attribute(attributeName.c_str()))
            return std::string_view(declaration.value());
    }
    return std::nullopt;
}

// Books often write dc:title without declaring "dc"; that prefix is taken as Dublin Core when
// nothing binds it, and only then.
bool isDublinCore(pugi::xml_node element, std::string_view name)
{
    if (localName(element) != name)
        return false;
    std::optional<std::string_view> uri = namespaceOf(element);
    if (uri)
        return *uri == dublinCoreNamespace;
    return prefixOf(element) == "dc";
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The element's text, every descendant text joined, with XML white space trimmed and each inner
// run made one space. Walks without recursion, so deep nesting cannot exhaust the stack.
std::string collapsedText(pugi::xml_node element)
{
    std::string text;
    bool pendingSpace = false;
    auto append = [&](std::string_view value) {
        for (char c : value) {
            if (isSpace(c)) {
                pendingSpace = !text.empty();
            } else {
                if (pendingSpace)
                    text += ' ';
                pendingSpace = false;
                text += c;
            }
        }
    };
    pugi::xml_node node = element.first_child();
    while (node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            append(node.value());
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != element && !node.next_sibling())
            node = node.parent();
        if (!node || node == element)
            break;
        node = node.next_sibling();
    }
    return text;
}

// The element's text as a description's markup: every descendant text joined, a space where an
// element starts or ends (a description written as XHTML elements keeps its paragraphs apart),
// at most a bound of bytes cut at a character: ample for the text a description keeps, so a huge
// one costs no more than that.
std::string descriptionMarkup(pugi::xml_node element)
{
    constexpr std::size_t limit = 64 * 1024;
    std::string text;
    pugi::xml_node node = element.first_child();
    while (node && text.size() < limit) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            std::string_view value = node.value();
            text.append(value.substr(0, limit + 1 - text.size()));
        } else if (node.type() == pugi::node_element) {
            text += ' ';
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        // The node is done, and so is each ancestor it is the last child of.
        for (;;) {
            if (node.type() == pugi::node_element)
                text += ' ';
            if (node.next_sibling()) {
                node = node.next_sibling();
                break;
            }
            node = node.parent();
            if (node == element) {
                node = pugi::xml_node();
                break;
            }
        }
    }
    if (text.size() > limit) {
        std::size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

std::string parseFailure(const std::string& name, const pugi::xml_parse_result& result)
{
    return name + " is not well-formed XML (" + result.description() + " at offset "
        + std::to_string(result.offset) + ")";
}

bool containsCover(std::string_view text)
{
    static constexpr std::string_view word = "cover";
    auto found = std::search(text.begin(), text.end(), word.begin(), word.end(),
        [](char a, char b) { return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == b; });
    return found != text.end();
}

// Metadata elements sit in <metadata>, or in the <dc-metadata> and <x-metadata> groups of old
// OPF 1 books nested inside it.
template <typename Visit> void forEachMetadataElement(pugi::xml_node metadata, Visit visit)
{
    for (pugi::xml_node child = metadata.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = localName(child);
        if (name == "dc-metadata" || name == "x-metadata") {
            for (pugi::xml_node inner = child.first_child(); inner; inner = inner.next_sibling()) {
                if (inner.type() == pugi::node_element)
                    visit(inner);
            }
        } else {
            visit(child);
        }
    }
}

}

Result<std::string> parseContainerRootfile(std::string& containerXml)
{
    const std::string name(containerName);
    pugi::xml_document document;
    pugi::xml_parse_result result
        = document.load_buffer_inplace(containerXml.data(), containerXml.size(), xmlParseOptions);
    if (!result)
        return Error(parseFailure(name, result));
    pugi::xml_node container = document.document_element();
    if (localName(container) != "container")
        return Error(name + " is not a container document");
    pugi::xml_node rootfile = childNamed(childNamed(container, "rootfiles"), "rootfile");
    std::string path = rootfile.attribute("full-path").value();
    if (path.empty())
        return Error(name + " names no package document");
    return path;
}

namespace {

bool hasToken(std::string_view rest, std::string_view token)
{
    while (!rest.empty()) {
        std::size_t start = 0;
        while (start < rest.size() && isSpace(rest[start]))
            ++start;
        std::size_t end = start;
        while (end < rest.size() && !isSpace(rest[end]))
            ++end;
        if (end > start && rest.substr(start, end - start) == token)
            return true;
        rest = rest.substr(end);
    }
    return false;
}

// The one value of a group of properties the tokens name ("rendition:layout-" + "pre-paginated"),
// or empty when they name none or more than one.
std::string onlyValue(std::string_view tokens, std::initializer_list<std::string_view> prefixes,
    std::initializer_list<std::string_view> values)
{
    std::string found;
    for (std::string_view value : values) {
        bool named = false;
        for (std::string_view prefix : prefixes)
            named = named || hasToken(tokens, std::string(prefix) + std::string(value));
        if (named && !found.empty())
            return {};
        if (named)
            found = value;
    }
    return found;
}

std::string trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

}

bool ManifestItem::hasProperty(std::string_view token) const
{
    return hasToken(properties, token);
}

PageLayout PackageDocument::layoutOf(const SpineItem& itemref) const
{
    PageLayout layout;
    std::string own
        = onlyValue(itemref.properties, { "rendition:layout-" }, { "pre-paginated", "reflowable" });
    layout.fixed = (own.empty() ? renditionLayout : own) == "pre-paginated";
    std::string spread = onlyValue(itemref.properties, { "rendition:spread-" },
        { "none", "auto", "landscape", "both", "portrait" });
    layout.spreads = (spread.empty() ? renditionSpread : spread) != "none";
    layout.side = onlyValue(itemref.properties, { "page-spread-", "rendition:page-spread-" },
        { "left", "right", "center" });
    return layout;
}

Result<PackageDocument> PackageDocument::parse(
    std::string& xml, std::string name, WithDescription withDescription)
{
    pugi::xml_document document;
    pugi::xml_parse_result result
        = document.load_buffer_inplace(xml.data(), xml.size(), xmlParseOptions);
    if (!result)
        return Error(parseFailure(name, result));
    pugi::xml_node root = document.document_element();
    if (localName(root) != "package")
        return Error(name + " is not a package document");

    PackageDocument package;
    package.name = std::move(name);
    package.version = root.attribute("version").value();

    bool haveTitle = false, haveCreator = false, haveCoverMeta = false, haveIdentifier = false,
         haveLanguage = false, haveDescription = withDescription == WithDescription::no;
    std::string_view identifierId = root.attribute("unique-identifier").value();
    forEachMetadataElement(childNamed(root, "metadata"), [&](pugi::xml_node element) {
        if (!haveIdentifier && isDublinCore(element, "identifier")) {
            bool named = !identifierId.empty() && identifierId == element.attribute("id").value();
            if (named || package.uniqueIdentifier.empty())
                package.uniqueIdentifier = collapsedText(element);
            haveIdentifier = named;
        }
        if (!haveTitle && isDublinCore(element, "title")) {
            package.title = collapsedText(element);
            haveTitle = true;
        } else if (!haveCreator && isDublinCore(element, "creator")) {
            package.creator = collapsedText(element);
            haveCreator = true;
        } else if (!haveLanguage && isDublinCore(element, "language")) {
            package.language = collapsedText(element);
            haveLanguage = true;
        } else if (!haveDescription && isDublinCore(element, "description")) {
            package.description = html::plainText(descriptionMarkup(element), descriptionLength);
            haveDescription = true;
        } else if (!haveCoverMeta && localName(element) == "meta"
            && std::strcmp(element.attribute("name").value(), "cover") == 0) {
            package.coverMeta = element.attribute("content").value();
            haveCoverMeta = true;
        } else if (localName(element) == "meta" && !element.attribute("refines")) {
            std::string_view property = element.attribute("property").value();
            std::string_view metaName = element.attribute("name").value();
            if (property == "rendition:layout")
                package.renditionLayout = trimmed(collapsedText(element));
            else if (property == "rendition:spread")
                package.renditionSpread = trimmed(collapsedText(element));
            else if (metaName == "primary-writing-mode") {
                std::string mode = trimmed(element.attribute("content").value());
                if (mode == "vertical-rl" || mode == "vertical-lr")
                    package.writingMode = mode;
            }
        }
    });
    package.uniqueIdentifierNamed = haveIdentifier;

    for (pugi::xml_node item = childNamed(root, "manifest").first_child(); item;
         item = item.next_sibling()) {
        if (item.type() != pugi::node_element || localName(item) != "item")
            continue;
        package.manifest.push_back(
            ManifestItem { item.attribute("id").value(), item.attribute("href").value(),
                item.attribute("media-type").value(), item.attribute("properties").value() });
    }

    pugi::xml_node spine = childNamed(root, "spine");
    package.spineToc = spine.attribute("toc").value();
    std::string progression = trimmed(spine.attribute("page-progression-direction").value());
    if (progression == "ltr" || progression == "rtl")
        package.pageProgression = progression;
    for (pugi::xml_node itemref = spine.first_child(); itemref; itemref = itemref.next_sibling()) {
        if (itemref.type() != pugi::node_element || localName(itemref) != "itemref")
            continue;
        package.spine.push_back(SpineItem { itemref.attribute("idref").value(),
            std::strcmp(itemref.attribute("linear").value(), "no") != 0,
            itemref.attribute("properties").value() });
    }
    return package;
}

const ManifestItem* PackageDocument::item(std::string_view id) const
{
    for (const auto& entry : manifest) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

const ManifestItem* PackageDocument::coverItem() const
{
    for (const auto& entry : manifest) {
        if (entry.hasProperty("cover-image"))
            return &entry;
    }
    if (!coverMeta.empty()) {
        if (const ManifestItem* byId = item(coverMeta))
            return byId;
        for (const auto& entry : manifest) {
            if (entry.href == coverMeta)
                return &entry;
        }
    }
    for (const auto& entry : manifest) {
        bool image = std::string_view(entry.mediaType).substr(0, 6) == "image/";
        if (image && (containsCover(entry.id) || containsCover(entry.href)))
            return &entry;
    }
    return nullptr;
}

std::optional<std::string> PackageDocument::resolve(std::string_view href) const
{
    return resolveHref(folderOf(name), href);
}

}
