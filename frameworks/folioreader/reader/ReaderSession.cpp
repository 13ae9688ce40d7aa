// Opening a book for the reader: the private unpacked copy, the package document, the spine,
// the table of contents; and the confined opening of the book's files.
#include "frameworks/folioreader/reader/ReaderSession.h"

#include "frameworks/folioreader/epub/BookPackage.h"
#include "frameworks/folioreader/epub/EntryName.h"
#include "frameworks/ziparchive/SSZipArchive.h"
#include "platform/foundation/FileDescriptor.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/OwnedFolders.h"
#include "platform/foundation/randomHex.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace folioreader {

using foundation::Error;
using foundation::Result;

namespace {

std::optional<std::string> canonicalPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::nullopt;
    std::string canonical = resolved;
    std::free(resolved);
    return canonical;
}

bool isInside(const std::string& path, const std::string& root)
{
    return path.size() > root.size() && path.compare(0, root.size(), root) == 0
        && (path[root.size()] == '/' || root == "/");
}

void replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty())
        return;
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string_view lastComponent(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view copyPrefix = "pagewyn-reader-";

// The path the browser asked for as an entry name, or nothing when it must be refused.
std::optional<std::string> servedEntryName(std::string_view path)
{
    if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos
        || path.find('\\') != std::string_view::npos)
        return std::nullopt;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (path.substr(start, end - start) == "..")
            return std::nullopt;
        start = end + 1;
    }
    return resolveEntryName("", path);
}

}

std::shared_ptr<ReaderSession> ReaderSession::open(
    const std::string& epubPath, const std::optional<std::string>& unzipPath, bool shouldRemoveEpub)
{
    std::shared_ptr<ReaderSession> session(new ReaderSession());
    session->m_id = foundation::randomHex(16);
    session->m_bookPath = epubPath;
    session->m_removeCopyOnClose = shouldRemoveEpub;

    struct stat status { };
    if (epubPath.empty() || ::stat(epubPath.c_str(), &status) != 0) {
        session->m_failure = epubPath.empty()
            ? "the book has no path"
            : foundation::fileError(epubPath, errno).description();
        return session;
    }
    if (S_ISDIR(status.st_mode)) {
        if (auto root = canonicalPath(epubPath))
            session->m_contentRoot = *root;
        else
            session->m_failure = foundation::fileError(epubPath, errno).description();
    } else {
        session->unpack(unzipPath);
    }
    if (!session->m_failure)
        session->readBook();
    if (session->m_failure) {
        // Words about the book, not about where its copy happened to be unpacked.
        std::string name = "\"" + std::string(lastComponent(epubPath)) + "\"";
        replaceAll(*session->m_failure, "\"" + session->m_contentRoot + "\"", name);
        replaceAll(*session->m_failure, "\"" + epubPath + "\"", name);
    }
    return session;
}

ReaderSession::~ReaderSession()
{
    close();
}

void ReaderSession::unpack(const std::optional<std::string>& unzipPath)
{
    std::string parent = unzipPath.value_or("");
    if (parent.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        parent = temporary && *temporary == '/' ? temporary : "/tmp";
    }
    if (m_removeCopyOnClose)
        foundation::removeAbandonedFolders(parent, copyPrefix);
    // mkdtemp makes the folder with mode 0700: no one else can read the copy or plant links in it.
    // A copy to be removed carries the process id, so that one left behind by a program that was
    // killed can be told apart and removed later.
    std::string pattern = m_removeCopyOnClose ? foundation::ownedFolderPattern(parent, copyPrefix)
                                              : parent + "/" + std::string(copyPrefix) + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        m_failure = "no private folder to unpack the book into: "
            + foundation::fileError(parent, errno).description();
        return;
    }
    m_temporaryFolder = pattern;
    // A fresh name inside the private folder: the unpacker creates it and removes it on failure.
    std::string destination = pattern + "/book";
    if (auto unpacked = SSZipArchive::unzip(m_bookPath, destination); !unpacked) {
        m_failure = unpacked.error().description();
        ::rmdir(pattern.c_str());
        m_temporaryFolder.reset();
        return;
    }
    if (auto root = canonicalPath(destination))
        m_contentRoot = *root;
    else
        m_failure = foundation::fileError(destination, errno).description();
}

void ReaderSession::readBook()
{
    auto book = EpubContainer::open(m_contentRoot);
    if (!book) {
        m_failure = book.error().description();
        return;
    }
    auto package = readPackage(*book);
    if (!package) {
        m_failure = package.error().description();
        return;
    }
    m_title = package->title;
    m_author = package->creator;
    m_pageProgression = package->pageProgression;
    m_writingMode = package->writingMode;
    if (auto encryption = book->read("META-INF/encryption.xml", maximumDocumentSize))
        m_obfuscatedFonts = ObfuscatedFonts::parse(*encryption, package->uniqueIdentifier);

    for (const SpineItem& itemref : package->spine) {
        const ManifestItem* item = package->item(itemref.idref);
        if (!item)
            continue;
        auto name = package->resolve(item->href);
        if (!name)
            continue;
        m_spine.push_back(
            { std::move(*name), item->mediaType, itemref.linear, package->layoutOf(itemref) });
    }
    if (m_spine.empty()) {
        m_failure = book->error(package->spine.empty()
                                ? "the package document lists no pages to read"
                                : "none of the pages the package document lists is in the book")
                        .description();
        return;
    }
    // A book without a usable table of contents is still read, page by page.
    if (auto entries = readTableOfContents(*book, *package))
        m_tableOfContents = std::move(*entries);
}

std::optional<std::size_t> ReaderSession::spineIndexOf(std::string_view entryName) const
{
    for (std::size_t index = 0; index < m_spine.size(); ++index) {
        if (m_spine[index].entryName == entryName)
            return index;
    }
    return std::nullopt;
}

Result<ui::ServedFile> ReaderSession::openContent(std::string_view path) const
{
    if (m_failure)
        return Error("the book cannot be read");
    if (m_closed.load() || m_contentRoot.empty())
        return Error("the book is no longer open");
    auto entry = servedEntryName(path);
    if (!entry)
        return Error("\"" + std::string(path) + "\" is not a path inside the book");
    std::string full = m_contentRoot + "/" + *entry;
    auto target = canonicalPath(full);
    if (!target)
        return Error(*entry + " is not in the book");
    if (!isInside(*target, m_contentRoot))
        return Error(*entry + " leads outside the book");

    int descriptor = ::open(target->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0)
        return Error(*entry + " cannot be read: " + std::strerror(errno));
    foundation::FileDescriptor file(descriptor);
    struct stat status { };
    if (::fstat(descriptor, &status) != 0)
        return Error(*entry + " cannot be read: " + std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return Error(*entry + " is not a file");
    if (std::uint64_t(status.st_size) > largestContentFile)
        return Error(*entry + " is too large to show");
    auto mask = m_obfuscatedFonts.maskOf(*entry);
    if (mask && mask->key.empty())
        return ui::ServedFile(-1, 0, mediaTypeForEntry(*entry));
    return ui::ServedFile(file.release(), std::uint64_t(status.st_size), mediaTypeForEntry(*entry),
        std::move(mask).value_or(ui::ServedFile::Mask {}));
}

void ReaderSession::close()
{
    if (m_closed.exchange(true))
        return;
    // Only the private folder this session made is ever removed; the book itself never is.
    if (m_temporaryFolder && m_removeCopyOnClose) {
        foundation::FileManager fileManager;
        (void)fileManager.removeItemAtPath(*m_temporaryFolder);
    }
}

std::string mediaTypeForEntry(std::string_view entryName)
{
    static constexpr std::pair<std::string_view, std::string_view> types[] = {
        { ".xhtml", "application/xhtml+xml" },
        { ".xht", "application/xhtml+xml" },
        { ".html", "text/html" },
        { ".htm", "text/html" },
        { ".css", "text/css" },
        { ".png", "image/png" },
        { ".jpg", "image/jpeg" },
        { ".jpeg", "image/jpeg" },
        { ".gif", "image/gif" },
        { ".webp", "image/webp" },
        { ".svg", "image/svg+xml" },
        { ".woff2", "font/woff2" },
        { ".woff", "font/woff" },
        { ".ttf", "font/ttf" },
        { ".otf", "font/otf" },
        { ".mp3", "audio/mpeg" },
        { ".m4a", "audio/mp4" },
        { ".mp4", "video/mp4" },
        { ".xml", "application/xml" },
        { ".ncx", "application/x-dtbncx+xml" },
        { ".opf", "application/oebps-package+xml" },
        { ".txt", "text/plain" },
    };
    std::string lowered(entryName.substr(
        entryName.find_last_of('/') == std::string_view::npos ? 0 : entryName.find_last_of('/')));
    for (char& c : lowered)
        c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    for (auto [extension, type] : types) {
        if (lowered.size() >= extension.size()
            && lowered.compare(lowered.size() - extension.size(), extension.size(), extension) == 0)
            return std::string(type);
    }
    return "application/octet-stream";
}

}
