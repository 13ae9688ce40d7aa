// EpubFixture: the book's files as text, then written as a zip archive or as a folder.
#include "tests/support/EpubFixture.h"

#include "platform/foundation/markupEscaped.h"
#include "tests/support/TinyPictures.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fixtures {

namespace {

using foundation::markupEscaped;

const char* const dublinCore = "http://purl.org/dc/elements/1.1/";
constexpr std::size_t mebibyte = 1024 * 1024;

std::string percentEncoded(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// folder + "/" + relative, with "." and "x/.." removed; leading ".." segments are kept.
std::string joined(const std::string& folder, const std::string& relative)
{
    std::vector<std::string> segments;
    auto add = [&](const std::string& path) {
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string::npos)
                end = path.size();
            std::string segment = path.substr(start, end - start);
            if (segment == "..") {
                if (!segments.empty() && segments.back() != "..")
                    segments.pop_back();
                else
                    segments.push_back(segment);
            } else if (!segment.empty() && segment != ".") {
                segments.push_back(segment);
            }
            start = end + 1;
        }
    };
    add(folder);
    add(relative);
    std::string out;
    for (const auto& segment : segments)
        out += (out.empty() ? "" : "/") + segment;
    return out;
}

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string chapterFile(std::size_t index)
{
    return "text/chapter-" + std::to_string(index + 1) + ".xhtml";
}

std::string chapterDocument(const Chapter& chapter)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
           "<head><title>"
        + markupEscaped(chapter.title)
        + "</title></head>\n"
          "<body><h1>"
        + markupEscaped(chapter.title) + "</h1><p>" + markupEscaped(chapter.text)
        + "</p></body>\n"
          "</html>\n";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool isPicture(const std::string& name)
{
    return name.ends_with(".jpg") || name.ends_with(".png");
}

}

std::string EpubFixture::containerDocument() const
{
    if (breakage == Breakage::malformedContainer)
        return "<?xml version=\"1.0\"?>\n<container version=\"1.0\" "
               "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
               "  <rootfiles>\n    <rootfile full-path=\""
            + markupEscaped(packagePath) + "\" media-type=\"application/oebps-package+xml\">\n";
    std::string rootfiles;
    if (breakage != Breakage::containerWithoutRootfile) {
        std::string path = breakage == Breakage::packageOutsideBook ? "../outside.opf"
            : breakage == Breakage::missingPackage                  ? "OEBPS/absent.opf"
                                                                    : packagePath;
        rootfiles = "    <rootfile full-path=\"" + markupEscaped(path)
            + "\" media-type=\"application/oebps-package+xml\"/>\n";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
           "  <rootfiles>\n"
        + rootfiles
        + "  </rootfiles>\n"
          "</container>\n";
}

std::string EpubFixture::coverEntryName() const
{
    if (cover == Cover::none)
        return {};
    std::string file = coverFile;
    if (file.empty()) {
        std::string extension = coverPicture == CoverPicture::png ? ".png" : ".jpg";
        file = cover == Cover::guessedByHref ? "images/cover" + extension
                                             : "images/front" + extension;
    }
    return joined(folderOf(packagePath), file);
}

std::string EpubFixture::coverBytes() const
{
    if (cover == Cover::none)
        return {};
    if (breakage == Breakage::coverNotAPicture)
        return "This is a text file, not a picture.\n";
    std::string bytes = !coverData.empty()  ? coverData
        : coverPicture == CoverPicture::png ? tinyPng()
                                            : tinyJpeg();
    if (breakage == Breakage::oversizedCover)
        bytes.append(21 * mebibyte, '\0');
    return bytes;
}

std::string EpubFixture::packageDocument() const
{
    std::string prefix, declarations, openAttributes;
    switch (metadataNamespace) {
    case MetadataNamespace::dc:
        prefix = "dc:";
        declarations = std::string(" xmlns:dc=\"") + dublinCore + "\"";
        break;
    case MetadataNamespace::otherPrefix:
    case MetadataNamespace::dcBoundElsewhere:
        prefix = "purl:";
        declarations = std::string(" xmlns:purl=\"") + dublinCore + "\"";
        break;
    case MetadataNamespace::defaultNamespace:
        openAttributes = std::string(" xmlns=\"") + dublinCore + "\"";
        break;
    case MetadataNamespace::undeclaredDc:
        prefix = "dc:";
        break;
    }
    if (metadataNamespace == MetadataNamespace::dcBoundElsewhere)
        declarations += " xmlns:dc=\"http://example.com/not-dublin-core/\"";
    auto element = [&](const std::string& name, const std::string& content,
                       const std::string& attributes = {}) {
        return "    <" + prefix + name + attributes + openAttributes + ">" + content + "</" + prefix
            + name + ">\n";
    };
    auto text = [&](const std::string& value) { return escapeText ? markupEscaped(value) : value; };

    std::string metadata;
    if (metadataNamespace == MetadataNamespace::dcBoundElsewhere)
        metadata
            += "    <dc:title>Decoy Title</dc:title>\n    <dc:creator>Decoy Author</dc:creator>\n";
    if (identifier)
        metadata += element("identifier", text(*identifier), " id=\"book-id\"");
    if (title)
        metadata += element("title", text(*title));
    if (author)
        metadata += element("creator", text(*author));
    if (language)
        metadata += element("language", text(*language));
    if (description)
        metadata += element("description", text(*description));
    if (version >= 3)
        metadata += "    <meta property=\"dcterms:modified\">2024-01-01T00:00:00Z</meta>\n";
    if (cover == Cover::epub2)
        metadata += "    <meta name=\"cover\" content=\"front-image\"/>\n";
    metadata += extraMetadata;

    std::string manifest, spine;
    if (version >= 3)
        manifest += "    <item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
                    "properties=\"nav\"/>\n";
    else
        manifest
            += "    <item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n";
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        std::string id = "chapter-" + std::to_string(i + 1);
        manifest += "    <item id=\"" + id + "\" href=\"" + chapterFile(i)
            + "\" media-type=\"application/xhtml+xml\"/>\n";
        spine += "    <itemref idref=\"" + id + "\"/>\n";
    }
    if (cover != Cover::none) {
        std::string relative = coverFile;
        if (relative.empty())
            relative = coverEntryName().substr(
                folderOf(packagePath).empty() ? 0 : folderOf(packagePath).size() + 1);
        std::string mediaType = coverPicture == CoverPicture::png ? "image/png" : "image/jpeg";
        std::string id = cover == Cover::guessedById ? "my-cover"
            : cover == Cover::guessedByHref          ? "picture-1"
                                                     : "front-image";
        std::string properties = cover == Cover::epub3 ? " properties=\"cover-image\"" : "";
        manifest += "    <item id=\"" + id + "\" href=\"" + markupEscaped(percentEncoded(relative))
            + "\" media-type=\"" + mediaType + "\"" + properties + "/>\n";
    }
    manifest += extraManifest;

    std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\""
        + std::string(version >= 3 ? "3.0" : "2.0") + "\" unique-identifier=\"book-id\">\n"
        + "  <metadata" + declarations + " xmlns:opf=\"http://www.idpf.org/2007/opf\">\n" + metadata
        + "  </metadata>\n" + "  <manifest>\n" + manifest + "  </manifest>\n" + "  <spine"
        + (version >= 3 ? "" : " toc=\"ncx\"") + ">\n" + spine + "  </spine>\n";
    if (breakage == Breakage::oversizedPackage)
        document += "  <!--" + std::string(17 * mebibyte, 'x') + "-->\n";
    if (breakage == Breakage::malformedPackage)
        return document + "  <guide>\n";
    if (breakage == Breakage::corruptedPackageData)
        document += "  <!-- corruption-target -->\n";
    return document + "</package>\n";
}

std::vector<Entry> EpubFixture::entries() const
{
    std::vector<Entry> files;
    files.push_back({ "mimetype", "application/epub+zip" });
    if (breakage != Breakage::missingContainer)
        files.push_back({ "META-INF/container.xml", containerDocument() });
    std::string packageName
        = breakage == Breakage::packageOutsideBook ? "../outside.opf" : joined("", packagePath);
    if (breakage != Breakage::missingPackage)
        files.push_back({ packageName, packageDocument() });

    std::string folder = folderOf(packagePath);
    for (std::size_t i = 0; i < chapters.size(); ++i)
        files.push_back({ joined(folder, chapterFile(i)), chapterDocument(chapters[i]) });

    std::string navigation;
    if (version >= 3) {
        navigation = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                     "xmlns:epub=\"http://www.idpf.org/2007/ops\">\n"
                     "<head><title>Contents</title></head>\n<body>\n<nav epub:type=\"toc\"><ol>\n";
        for (std::size_t i = 0; i < chapters.size(); ++i)
            navigation += "  <li><a href=\"" + chapterFile(i) + "\">"
                + markupEscaped(chapters[i].title) + "</a></li>\n";
        navigation += "</ol></nav>\n</body>\n</html>\n";
        files.push_back({ joined(folder, "nav.xhtml"), navigation });
    } else {
        navigation = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\">\n"
                     "<head><meta name=\"dtb:uid\" "
                     "content=\"urn:uuid:9b1deb4d-3b7d-4bad-9bdd-2b0d7b3dcb6d\"/></head>\n"
                     "<docTitle><text>"
            + markupEscaped(title.value_or("")) + "</text></docTitle>\n<navMap>\n";
        for (std::size_t i = 0; i < chapters.size(); ++i)
            navigation += "  <navPoint id=\"nav-" + std::to_string(i + 1) + "\" playOrder=\""
                + std::to_string(i + 1) + "\"><navLabel><text>" + markupEscaped(chapters[i].title)
                + "</text></navLabel><content src=\"" + chapterFile(i) + "\"/></navPoint>\n";
        navigation += "</navMap>\n</ncx>\n";
        files.push_back({ joined(folder, "toc.ncx"), navigation });
    }

    if (cover != Cover::none && breakage != Breakage::coverMissing)
        files.push_back({ coverEntryName(), coverBytes() });
    for (const auto& entry : extraEntries)
        files.push_back(entry);
    return files;
}

void EpubFixture::writeZipped(const std::string& path) const
{
    std::error_code ignored;
    switch (breakage) {
    case Breakage::zeroByteFile:
        writeFile(path, "");
        return;
    case Breakage::notAZip:
        writeFile(path, "This is a plain text file that only has the name of a book.\n");
        return;
    case Breakage::emptyFolder:
        std::filesystem::remove(path, ignored);
        std::filesystem::create_directories(path);
        return;
    case Breakage::packageThroughSymlink:
    case Breakage::coverThroughSymlink:
        throw std::logic_error("symbolic-link breakages exist only for unpacked books");
    default:
        break;
    }

    auto files = entries();
    for (auto& file : files)
        file.stored = breakage == Breakage::corruptedPackageData || file.name == "mimetype"
            || (storePictures && isPicture(file.name));
    writeZip(path, files);

    if (breakage == Breakage::truncatedZip) {
        std::string bytes = readFile(path);
        writeFile(path, bytes.substr(0, bytes.size() / 2));
    } else if (breakage == Breakage::corruptedPackageData) {
        std::string bytes = readFile(path);
        std::size_t at = bytes.find("corruption-target");
        if (at == std::string::npos)
            throw std::runtime_error("cannot find the package document's bytes in " + path);
        bytes[at] = 'C';
        writeFile(path, bytes);
    }
}

void EpubFixture::writeUnpacked(const std::string& path) const
{
    switch (breakage) {
    case Breakage::zeroByteFile:
    case Breakage::notAZip:
    case Breakage::truncatedZip:
    case Breakage::emptyFolder:
        writeZipped(path);
        return;
    case Breakage::corruptedPackageData:
        throw std::logic_error("corruptedPackageData exists only for zipped books");
    default:
        break;
    }

    // A breakage may put the package document beside the book ("../outside.opf"): it goes there,
    // once the book's folder stands, and the rest inside the book.
    auto files = entries();
    auto beside = std::stable_partition(files.begin(), files.end(),
        [](const Entry& file) { return !file.name.starts_with("../"); });
    writeFolder(path, { files.begin(), beside });
    for (auto file = beside; file != files.end(); ++file)
        writeFile(path + "/" + file->name, file->bytes);
    std::filesystem::path root(path);

    // The symbolic links point at files beside the book, named after it.
    if (breakage == Breakage::packageThroughSymlink) {
        std::filesystem::path outside = path + ".outside.opf";
        std::filesystem::path link = root / packagePath;
        writeFile(outside, packageDocument());
        std::filesystem::remove(link);
        std::filesystem::create_symlink(outside, link);
    } else if (breakage == Breakage::coverThroughSymlink && cover != Cover::none) {
        std::filesystem::path outside = path + ".outside-cover";
        std::filesystem::path link = root / coverEntryName();
        writeFile(outside, coverBytes());
        std::filesystem::remove(link);
        std::filesystem::create_symlink(outside, link);
    }
}

}
