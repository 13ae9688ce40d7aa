// Reading the navigation document and the NCX with pugixml. Lists are walked with the depth
// bounded, so a hostile nesting cannot exhaust the stack, and the entries are counted.
#include "frameworks/folioreader/epub/TableOfContents.h"

#include "frameworks/folioreader/epub/EntryName.h"
#include "frameworks/folioreader/epub/XmlNodes.h"

#include <pugixml.hpp>

namespace folioreader {

using foundation::Error;
using foundation::Result;

namespace {

bool hasToken(std::string_view list, std::string_view token)
{
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find_first_of(" \t\r\n", start);
        if (end == std::string_view::npos)
            end = list.size();
        if (list.substr(start, end - start) == token)
            return true;
        start = end + 1;
    }
    return false;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Every text below the element joined, white space trimmed and each inner run made one space.
std::string collapsedText(pugi::xml_node element)
{
    std::string text;
    bool pendingSpace = false;
    for (pugi::xml_node node = element.first_child(); node;) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            for (char c : std::string_view(node.value())) {
                if (isSpace(c)) {
                    pendingSpace = !text.empty();
                    continue;
                }
                if (pendingSpace)
                    text += ' ';
                pendingSpace = false;
                text += c;
            }
        }
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != element && !node.next_sibling())
            node = node.parent();
        if (node == element)
            break;
        node = node.next_sibling();
    }
    return text;
}

// The first element of that local name at or below root, in document order.
template <typename Accept> pugi::xml_node findElement(pugi::xml_node root, Accept accept)
{
    for (pugi::xml_node node = root; node;) {
        if (node.type() == pugi::node_element && accept(node))
            return node;
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != root && !node.next_sibling())
            node = node.parent();
        if (node == root)
            break;
        node = node.next_sibling();
    }
    return {};
}

class EntryList {
public:
    explicit EntryList(std::string_view documentName)
        : m_folder(folderOf(documentName))
    {
    }

    bool full() const { return m_entries.size() >= maximumTocEntries; }

    void add(std::string title, std::string_view href, int depth)
    {
        TocEntry entry;
        entry.depth = depth;
        if (!href.empty()) {
            if (auto name = resolveHref(m_folder, href)) {
                entry.entryName = std::move(*name);
                if (std::size_t hash = href.find('#'); hash != std::string_view::npos)
                    entry.fragment = std::string(href.substr(hash + 1));
            }
        }
        entry.title = title.empty() && !entry.entryName.empty()
            ? std::string(fileNameOf(entry.entryName))
            : std::move(title);
        m_entries.push_back(std::move(entry));
    }

    std::vector<TocEntry> take() { return std::move(m_entries); }

private:
    static std::string_view fileNameOf(std::string_view name)
    {
        std::size_t slash = name.rfind('/');
        return slash == std::string_view::npos ? name : name.substr(slash + 1);
    }

    std::string_view m_folder;
    std::vector<TocEntry> m_entries;
};

// <ol><li><a href="...">Title</a><ol>...</ol></li>...</ol>; a <span> labels a heading. An item
// without a label lends its nested list to its parent's depth; level counts the nesting itself.
void readNavigationList(pugi::xml_node list, int depth, int level, EntryList& entries)
{
    for (pugi::xml_node item = list.first_child(); item && !entries.full();
         item = item.next_sibling()) {
        if (!isElement(item, "li"))
            continue;
        pugi::xml_node label;
        for (pugi::xml_node child = item.first_child(); child; child = child.next_sibling()) {
            if (isElement(child, "a") || isElement(child, "span")) {
                label = child;
                break;
            }
        }
        if (label)
            entries.add(collapsedText(label), label.attribute("href").value(), depth);
        pugi::xml_node nested = childNamed(item, "ol");
        if (nested && level + 1 < maximumTocDepth)
            readNavigationList(nested, label ? depth + 1 : depth, level + 1, entries);
    }
}

void readNavPoints(pugi::xml_node parent, int depth, EntryList& entries)
{
    for (pugi::xml_node point = parent.first_child(); point && !entries.full();
         point = point.next_sibling()) {
        if (!isElement(point, "navPoint"))
            continue;
        entries.add(collapsedText(childNamed(childNamed(point, "navLabel"), "text")),
            childNamed(point, "content").attribute("src").value(), depth);
        if (depth + 1 < maximumTocDepth)
            readNavPoints(point, depth + 1, entries);
    }
}

std::string parseFailure(std::string_view name, const pugi::xml_parse_result& result)
{
    return std::string(name) + " is not well-formed XML (" + result.description() + " at offset "
        + std::to_string(result.offset) + ")";
}

bool isTocNavigation(pugi::xml_node element)
{
    if (localName(element.name()) != "nav")
        return false;
    for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
         attribute = attribute.next_attribute()) {
        std::string_view name = attribute.name();
        if ((name == "epub:type" || (name != "type" && localName(name) == "type"))
            && hasToken(attribute.value(), "toc"))
            return true;
        if (name == "role" && hasToken(attribute.value(), "doc-toc"))
            return true;
    }
    return false;
}

Result<std::vector<TocEntry>> readEntry(const EpubContainer& book, const PackageDocument& package,
    const ManifestItem& item,
    Result<std::vector<TocEntry>> (*parse)(std::string&, std::string_view))
{
    auto name = package.resolve(item.href);
    if (!name)
        return book.error("\"" + item.href + "\" lies outside the book");
    auto bytes = TRY(book.read(*name, maximumDocumentSize));
    auto entries = parse(bytes, *name);
    if (!entries)
        return book.error(entries.error().description());
    return entries;
}

}

Result<std::vector<TocEntry>> parseNavigationDocument(
    std::string& xhtml, std::string_view documentName)
{
    pugi::xml_document document;
    pugi::xml_parse_result result
        = document.load_buffer_inplace(xhtml.data(), xhtml.size(), xmlParseOptions);
    if (!result)
        return Error(parseFailure(documentName, result));
    pugi::xml_node navigation = findElement(document.document_element(), isTocNavigation);
    if (!navigation)
        return Error(std::string(documentName) + " holds no table of contents");
    pugi::xml_node list = childNamed(navigation, "ol");
    if (!list)
        list = findElement(
            navigation, [](pugi::xml_node node) { return localName(node.name()) == "ol"; });
    EntryList entries(documentName);
    if (list)
        readNavigationList(list, 0, 0, entries);
    return entries.take();
}

Result<std::vector<TocEntry>> parseNcx(std::string& xml, std::string_view documentName)
{
    pugi::xml_document document;
    pugi::xml_parse_result result
        = document.load_buffer_inplace(xml.data(), xml.size(), xmlParseOptions);
    if (!result)
        return Error(parseFailure(documentName, result));
    pugi::xml_node root = document.document_element();
    if (!isElement(root, "ncx"))
        return Error(std::string(documentName) + " is not an NCX document");
    EntryList entries(documentName);
    readNavPoints(childNamed(root, "navMap"), 0, entries);
    return entries.take();
}

Result<std::vector<TocEntry>> readTableOfContents(
    const EpubContainer& book, const PackageDocument& package)
{
    std::string reasons;
    for (const auto& item : package.manifest) {
        if (!item.hasProperty("nav"))
            continue;
        auto entries = readEntry(book, package, item, parseNavigationDocument);
        if (entries && !entries->empty())
            return entries;
        reasons = entries ? book.error("the navigation document lists nothing").description()
                          : entries.error().description();
        break;
    }

    const ManifestItem* ncx = package.spineToc.empty() ? nullptr : package.item(package.spineToc);
    for (const auto& item : package.manifest) {
        if (!ncx && item.mediaType == "application/x-dtbncx+xml")
            ncx = &item;
    }
    if (ncx) {
        auto entries = readEntry(book, package, *ncx, parseNcx);
        if (entries && !entries->empty())
            return entries;
        std::string reason = entries ? book.error("the NCX lists nothing").description()
                                     : entries.error().description();
        reasons = reasons.empty() ? reason : reasons + "; " + reason;
    }
    if (reasons.empty())
        return book.error("no table of contents");
    return Error(reasons);
}

}
