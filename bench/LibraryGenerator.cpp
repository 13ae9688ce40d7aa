// Writing synthetic EPUB libraries with libzip.
#include "bench/LibraryGenerator.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <zip.h>

namespace bench {

namespace {

const char* const words[] = {
    "Moby", "Dick", "War", "Peace", "Caf\xC3\xA9", "Cafe\xCC\x81", "\xC3\x89mile", "\xC3\x85sa", "Zola",
    "austen", "\xD0\x92\xD0\xBE\xD0\xB9\xD0\xBD\xD0\xB0", "\xE6\x9D\xB1\xE4\xBA\xAC", "\xE5\xA4\xA7\xE5\x9C\xB0",
    "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D", "\xD8\xA7\xD9\x84\xD9\x83\xD8\xAA\xD8\xA7\xD8\xA8", "\xF0\x9F\x93\x9A",
    "Night", "garden", "\xCE\x9F\xCE\xB4\xCF\x8D\xCF\x83\xCF\x83\xCE\xB5\xCE\xB9\xCE\xB1", "Stra\xC3\x9F" "e",
    "\xE0\xA4\xB9\xE0\xA4\xBF\xE0\xA4\x82\xE0\xA4\xA6\xE0\xA5\x80", "Ocean", "\xED\x95\x9C\xEA\xB8\x80", "river",
};
constexpr std::size_t wordCount = sizeof words / sizeof words[0];

std::string escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else out += c;
    }
    return out;
}

std::string packageDocument(const SyntheticBook& book)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" unique-identifier=\"id\">\n"
           "  <metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
           "    <dc:identifier id=\"id\">urn:uuid:" + book.file + "</dc:identifier>\n"
           "    <dc:title>" + escape(book.title) + "</dc:title>\n"
           "    <dc:creator>" + escape(book.author) + "</dc:creator>\n"
           "    <dc:language>en</dc:language>\n"
           "  </metadata>\n"
           "  <manifest>\n"
           "    <item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
           "    <item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/>\n"
           "  </manifest>\n"
           "  <spine><itemref idref=\"c1\"/></spine>\n"
           "</package>\n";
}

const std::string container =
    "<?xml version=\"1.0\"?>\n"
    "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
    "  <rootfiles><rootfile full-path=\"OEBPS/content.opf\" media-type=\"application/oebps-package+xml\"/></rootfiles>\n"
    "</container>\n";

const std::string chapter = "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Call me Ishmael.</p></body></html>\n";

void writeZipped(const std::string& path, const SyntheticBook& book)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot create " + path);
    const std::pair<std::string, std::string> entries[] = {
        { "mimetype", "application/epub+zip" },
        { "META-INF/container.xml", container },
        { "OEBPS/content.opf", packageDocument(book) },
        { "OEBPS/c1.xhtml", chapter },
        { "OEBPS/nav.xhtml", chapter },
    };
    for (const auto& [name, bytes] : entries) {
        auto* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        auto index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (name == "mimetype")
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot write " + path);
}

void writeUnpacked(const std::string& path, const SyntheticBook& book)
{
    std::filesystem::create_directories(path + "/META-INF");
    std::filesystem::create_directories(path + "/OEBPS");
    std::ofstream(path + "/mimetype") << "application/epub+zip";
    std::ofstream(path + "/META-INF/container.xml") << container;
    std::ofstream(path + "/OEBPS/content.opf") << packageDocument(book);
    std::ofstream(path + "/OEBPS/c1.xhtml") << chapter;
}

}

SyntheticBook syntheticBook(std::size_t n)
{
    auto word = [&](std::size_t salt) { return std::string(words[(n * 7919 + salt * 104729) % wordCount]); };
    SyntheticBook book;
    book.title = word(1) + " " + word(2) + " " + std::to_string(n % 97);
    book.author = word(3) + " " + word(4);
    book.file = "book-" + std::to_string(n) + ".epub";
    return book;
}

std::string generateLibrary(const std::string& folder, std::size_t count, bool zipped)
{
    std::filesystem::create_directories(folder);
    std::size_t present = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder))
        ++present;
    if (present == count)
        return folder;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (std::size_t n = 0; n < count; ++n) {
        auto book = syntheticBook(n);
        if (zipped)
            writeZipped(folder + "/" + book.file, book);
        else
            writeUnpacked(folder + "/" + book.file, book);
    }
    return folder;
}

}
