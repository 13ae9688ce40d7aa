// The catalog's Atom, written as text: every value passes through xmlText.
#include "platform/host/opds/AtomFeed.h"

#include "platform/foundation/Digest.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/hexEncoded.h"
#include "platform/host/opds/XmlText.h"

#include <utf8proc.h>

namespace host {

namespace {

constexpr const char* epubType = "application/epub+zip";

// Whether the text is written into the feed exactly as it is (xmlText changes nothing but its
// markup characters), with no white space in it, as an id must be.
bool standsAsId(std::string_view text)
{
    if (text.empty() || text.rfind("urn:pagewyn:", 0) == 0)
        return false;
    auto bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto size = static_cast<utf8proc_ssize_t>(text.size());
    for (utf8proc_ssize_t at = 0; at < size;) {
        utf8proc_int32_t point = 0;
        auto length = utf8proc_iterate(bytes + at, size - at, &point);
        if (length <= 0 || point == 0xFFFE || point == 0xFFFF)
            return false;
        auto category = utf8proc_category(point);
        if (category == UTF8PROC_CATEGORY_CC || category == UTF8PROC_CATEGORY_ZS
            || category == UTF8PROC_CATEGORY_ZL || category == UTF8PROC_CATEGORY_ZP)
            return false;
        at += length;
    }
    return true;
}

}

std::string AtomFeed::mediaType(Kind kind)
{
    return std::string("application/atom+xml;profile=opds-catalog;kind=")
        + (kind == Kind::navigation ? "navigation" : "acquisition");
}

std::string AtomFeed::queryValue(const std::string& value)
{
    return foundation::percentEncoded(value, "-._~");
}

namespace {

// Longer names are linked by their key; a link with a page, behind any host name, stays short.
constexpr std::size_t longestAuthorQuery = 512;

}

std::string AtomFeed::authorHref(const std::string& name)
{
    auto query = queryValue(name);
    return query.size() <= longestAuthorQuery ? "/opds/author?name=" + query
                                              : "/opds/author?key=" + authorKey(name);
}

std::string AtomFeed::authorId(const std::string& name)
{
    auto query = queryValue(name);
    return "urn:pagewyn:author:"
        + (query.size() <= longestAuthorQuery ? query : "key:" + authorKey(name));
}

std::string AtomFeed::authorName(const std::string& name)
{
    return name.empty() ? "Unknown author" : name;
}

std::string AtomFeed::downloadHref(const std::string& file)
{
    return "/opds/download/" + foundation::percentEncoded(file, "-._~");
}

std::string AtomFeed::coverHref(const std::string& file)
{
    return "/opds/cover/" + foundation::percentEncoded(file, "-._~");
}

std::string AtomFeed::thumbnailHref(const std::string& file)
{
    return "/opds/thumbnail/" + foundation::percentEncoded(file, "-._~");
}

AtomFeed::AtomFeed(Kind kind, std::string id, const std::string& title, std::string selfHref)
    : m_kind(kind)
    , m_selfHref(std::move(selfHref))
{
    m_head = "<id>" + xmlText(id) + "</id>\n<title>" + xmlText(title) + "</title>\n<updated>"
        + foundation::Date::now().iso8601() + "</updated>\n<author><name>Pagewyn</name></author>\n";
    link("self", m_selfHref, mediaType(kind));
    link("start", "/opds", mediaType(Kind::navigation));
    link("search", "/opds/opensearch.xml", "application/opensearchdescription+xml");
}

void AtomFeed::link(const std::string& rel, const std::string& href, const std::string& type)
{
    m_head += "<link rel=\"" + rel + "\" href=\"" + xmlText(href) + "\" type=\"" + type + "\"/>\n";
}

std::string AtomFeed::pageHref(std::size_t page) const
{
    return m_selfHref + (m_selfHref.find('?') == std::string::npos ? "?" : "&")
        + "page=" + std::to_string(page);
}

void AtomFeed::paging(
    std::size_t page, std::size_t pageCount, std::size_t total, std::size_t perPage)
{
    m_head += "<opensearch:totalResults>" + std::to_string(total)
        + "</opensearch:totalResults>\n<opensearch:itemsPerPage>" + std::to_string(perPage)
        + "</opensearch:itemsPerPage>\n<opensearch:startIndex>"
        + std::to_string((page - 1) * perPage + 1) + "</opensearch:startIndex>\n";
    auto type = mediaType(m_kind);
    link("first", pageHref(1), type);
    if (page > 1)
        link("previous", pageHref(page - 1), type);
    if (page < pageCount)
        link("next", pageHref(page + 1), type);
    link("last", pageHref(std::max<std::size_t>(pageCount, 1)), type);
}

void AtomFeed::navigationEntry(const std::string& id, const std::string& title,
    const std::string& href, Kind target, const std::string& content)
{
    m_entries += "<entry>\n<id>" + xmlText(id) + "</id>\n<title>" + xmlText(title)
        + "</title>\n<updated>" + foundation::Date::now().iso8601()
        + "</updated>\n<content type=\"text\">" + xmlText(content)
        + "</content>\n<link rel=\"subsection\" href=\"" + xmlText(href) + "\" type=\""
        + mediaType(target) + "\"/>\n</entry>\n";
}

std::string AtomFeed::bookId(const CatalogBook& book)
{
    if (standsAsId(book.identifier))
        return book.identifier;
    return "urn:pagewyn:book:"
        + foundation::hexEncoded(foundation::Digest().add(book.file).value());
}

void AtomFeed::bookEntry(const CatalogBook& book)
{
    m_entries += "<entry>\n<id>" + xmlText(bookId(book)) + "</id>\n<title>"
        + xmlText(book.title.empty() ? book.file : book.title) + "</title>\n<author><name>"
        + xmlText(authorName(book.author)) + "</name></author>\n<updated>" + book.updated.iso8601()
        + "</updated>\n";
    if (!book.language.empty())
        m_entries += "<dc:language>" + xmlText(book.language) + "</dc:language>\n";
    if (!book.summary.empty())
        m_entries += "<summary type=\"text\">" + xmlText(book.summary) + "</summary>\n";
    // Reading apps show an entry's content as text: how far the book has been read.
    if (!book.readingProgress.empty())
        m_entries += "<content type=\"text\">" + xmlText(book.readingProgress) + "</content>\n";
    m_entries += "<link rel=\"http://opds-spec.org/acquisition\" href=\""
        + xmlText(downloadHref(book.file)) + "\" type=\"" + epubType + "\"/>\n";
    if (!book.declaredIdentifier.empty())
        m_entries += "<dc:identifier>" + xmlText(book.declaredIdentifier) + "</dc:identifier>\n";
    // The picture's kind is known only for a thumbnail the metadata cache holds: a large cover is
    // made when it is first asked for.
    if (!book.hasNoCover) {
        m_entries += "<link rel=\"http://opds-spec.org/image\" href=\""
            + xmlText(coverHref(book.file)) + "\"/>\n"
            + "<link rel=\"http://opds-spec.org/image/thumbnail\" href=\""
            + xmlText(thumbnailHref(book.file)) + "\""
            + (book.coverType.empty() ? "" : " type=\"" + xmlText(book.coverType) + "\"") + "/>\n";
    }
    m_entries += "</entry>\n";
}

std::string AtomFeed::xml() const
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<feed "
           "xmlns=\"http://www.w3.org/2005/Atom\" "
           "xmlns:opds=\"http://opds-spec.org/2010/catalog\" "
           "xmlns:opensearch=\"http://a9.com/-/spec/opensearch/1.1/\" "
           "xmlns:dc=\"http://purl.org/dc/terms/\">\n"
        + m_head + m_entries + "</feed>\n";
}

}
